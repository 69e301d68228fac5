#include "keyers/v2/ver2_kernels.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace cmatte {
namespace {

const char kCk0[] = "Error @clCreateKernel0:%d\n";
const char kCk1[] = "Error @clCreateKernel1:%d\n";
const char kCk4[] = "Error @clCreateKernel4:%d\n";
const char kCk28[] = "Error @clCreateKernel28:%d\n";
const char kCk29[] = "Error @clCreateKernel29:%d\n";

// The position of a kernel in the list; a name that is not there is a fault
// of this file, caught the first time any frame plan is made.
int index_of(const char* name) {
    const std::vector<gpurt::KernelEntry>& list = ver2_kernel_list();
    for (std::size_t i = 0; i < list.size(); ++i)
        if (std::strcmp(list[i].name, name) == 0) return static_cast<int>(i);
    std::fprintf(stderr, "cmatte: no kernel %s in the version-2 list\n", name);
    std::abort();
}

}  // namespace

const std::vector<gpurt::KernelEntry>& ver2_kernel_list() {
    static const std::vector<gpurt::KernelEntry> list{
        {"nv12_GM_cal_LabA_w2h2", kCk0},
        {"nv12_GM_cal_LabA", kCk1},
        {"nv12_GM_cal_LabB", kCk1},
        {"yuy2_GM_cal_LabA_w2h2", kCk0},
        {"yuy2_GM_cal_LabA", kCk1},
        {"yuy2_GM_cal_LabB", kCk1},
        {"i420_GM_cal_LabA", kCk1},
        {"i420_GM_cal_LabB", kCk1},
        {"nv12_GM_blendForeAndBack", "Error @clCreateKernel2:%d\n"},
        {"yuy2_GM_blendForeAndBack", "Error @clCreateKernel2:%d\n"},
        {"i420_GM_blendForeAndBack", "Error @clCreateKernel2:%d\n"},
        {"nv12_GM_stat_HistQ_LabA_color", kCk4},
        {"nv12_GM_accm_HistQ_LabA_color", kCk4},
        {"nv12_GM_downSampleW4H4_LabA_color", kCk4},
        {"nv12_GM_downSampleW2H2_LabA_color", "Error @clCreateKernel5:%d\n"},
        {"nv12_GM_upSampleW2H2_LabA_color", "Error @clCreateKernel6:%d\n"},
        {"nv12_GM_upSampleW4H4_SpeedUp_LabA_color", "Error @clCreateKernel66:%d\n"},
        {"nv12_GM_upSampleW4H4_LabA_color", "Error @clCreateKernel7:%d\n"},
        {"nv12_GM_thres_segment_LabA", "Error @clCreateKernel8:%d\n"},
        {"nv12_GM_single_div", "Error @clCreateKernel10:%d\n"},
        {"nv12_GM_single_sub", "Error @clCreateKernel11:%d\n"},
        {"nv12_GM_single_add", "Error @clCreateKernel12:%d\n"},
        {"nv12_GM_single_mul", "Error @clCreateKernel13:%d\n"},
        {"nv12_GM_single_mul2", "Error @clCreateKernel14:%d\n"},
        {"nv12_GM_single_mul_add", "Error @clCreateKernel15:%d\n"},
        {"nv12_GM_single_mul_sub", "Error @clCreateKernel16:%d\n"},
        {"nv12_GM_yuv2rgb", "Error @clCreateKernel25:%d\n"},
        {"yuy2_GM_yuv2rgb", "Error @clCreateKernel251:%d\n"},
        {"nv12_GM_mean_stat_w4_h4", "Error @clCreateKernel26:%d\n"},
        {"nv12_GM_mean_stat_w2_h2", "Error @clCreateKernel27:%d\n"},
        {"nv12_GM_alpha_gaussBlur", kCk28},
        {"nv12_GM_alpha_erosion3x3", kCk28},
        {"copy_image_to_buffer", kCk29},
        {"nv12_GM_buffer_meanBlur", kCk29},
        {"nv12_GM_buffer_meanBlur_sepX", kCk29},
        {"nv12_GM_buffer_meanBlur_sepY", kCk29},
        {"nv12_GM_alpha_meanBlur_R4X", "Error @clCreateKernel34:%d\n"},
        {"nv12_GM_alpha_meanBlur_R4Y", "Error @clCreateKernel35:%d\n"},
        {"nv12_GM_alpha_meanBlur_R8X", "Error @clCreateKernel36:%d\n"},
        {"nv12_GM_alpha_meanBlur_R8Y", "Error @clCreateKernel37:%d\n"},
        {"copy_buffer_to_image", kCk29},
        // The refinements' kernels.
        {"v2_segment_keep", "Error @clCreateKernel42:%d\n"},
        {"v2_matte_adjust", "Error @clCreateKernel43:%d\n"},
        {"v2_matte_trimap", "Error @clCreateKernel43:%d\n"},
        {"nv12_backdrop_sums", "Error @clCreateKernel44:%d\n"},
        {"i420_backdrop_sums", "Error @clCreateKernel44:%d\n"},
        {"yuy2_backdrop_sums", "Error @clCreateKernel44:%d\n"},
        {"nv12_refined_blend", "Error @clCreateKernel45:%d\n"},
        {"i420_refined_blend", "Error @clCreateKernel45:%d\n"},
        {"yuy2_refined_blend", "Error @clCreateKernel45:%d\n"}};
    return list;
}

const Ver2Kernels& ver2_kernels() {
    static const Ver2Kernels kernels{
        index_of("nv12_GM_cal_LabA"),
        index_of("nv12_GM_cal_LabB"),
        index_of("yuy2_GM_cal_LabA"),
        index_of("yuy2_GM_cal_LabB"),
        index_of("i420_GM_cal_LabA"),
        index_of("i420_GM_cal_LabB"),
        index_of("nv12_GM_blendForeAndBack"),
        index_of("yuy2_GM_blendForeAndBack"),
        index_of("i420_GM_blendForeAndBack"),
        index_of("nv12_GM_stat_HistQ_LabA_color"),
        index_of("nv12_GM_accm_HistQ_LabA_color"),
        index_of("nv12_GM_downSampleW4H4_LabA_color"),
        index_of("nv12_GM_downSampleW2H2_LabA_color"),
        index_of("nv12_GM_upSampleW4H4_SpeedUp_LabA_color"),
        index_of("nv12_GM_thres_segment_LabA"),
        index_of("nv12_GM_single_div"),
        index_of("nv12_GM_single_mul2"),
        index_of("nv12_GM_single_mul_add"),
        index_of("nv12_GM_single_mul_sub"),
        index_of("nv12_GM_alpha_gaussBlur"),
        index_of("nv12_GM_alpha_meanBlur_R8X"),
        index_of("nv12_GM_alpha_meanBlur_R8Y"),
        index_of("nv12_GM_buffer_meanBlur_sepX"),
        index_of("nv12_GM_buffer_meanBlur_sepY"),
        index_of("v2_segment_keep"),
        index_of("v2_matte_adjust"),
        index_of("v2_matte_trimap"),
        index_of("nv12_backdrop_sums"),
        index_of("i420_backdrop_sums"),
        index_of("yuy2_backdrop_sums"),
        index_of("nv12_refined_blend"),
        index_of("i420_refined_blend"),
        index_of("yuy2_refined_blend"),
    };
    return kernels;
}

}  // namespace cmatte
