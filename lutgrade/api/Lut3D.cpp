#include "lutgrade/Lut3D.h"

#include "gpu/impCL3DLut.h"
#include "gpu_runtime/frame_limits.h"
#include "gpu_runtime/gpu_print.h"
#include "tables/OrvalenQcom3DLUT.h"
#include "tables/adjustment_list.h"
#include "tables/table_source.h"

Lut3D::Lut3D(int gpuPriority) : impl_(new impCL3DLut(gpuPriority)) { impl_->initOpenCL(); }

Lut3D::~Lut3D() { delete impl_; }

void Lut3D::exec_3DLut_NV12(int w, int h, const unsigned char* srcY, const unsigned char* srcUV,
                            unsigned char* dstY, unsigned char* dstUV) {
    if (impl_ && gpurt::frame_within_limit("exec_3DLut_NV12", w, h))
        impl_->runNV12(w, h, srcY, srcUV, dstY, dstUV);
}

void Lut3D::exec_3DLut_I420(int w, int h, const unsigned char* srcY, const unsigned char* srcU,
                            const unsigned char* srcV, unsigned char* dstY, unsigned char* dstU,
                            unsigned char* dstV) {
    if (impl_ && gpurt::frame_within_limit("exec_3DLut_I420", w, h))
        impl_->runI420(w, h, srcY, srcU, srcV, dstY, dstU, dstV);
}

void Lut3D::exec_3DLut_YUY2(int w, int h, const unsigned char* src, unsigned char* dst) {
    if (impl_ && gpurt::frame_within_limit("exec_3DLut_YUY2", w, h)) impl_->runYUY2(w, h, src, dst);
}

int Lut3D::load_filter_of_cube_3dl_file(const char* path, int lutSize) {
    if (lutSize < impCL3DLut::kMinEdge || lutSize > impCL3DLut::kMaxEdge) {
        gpurt::gpu_print("Error @load_filter_of_cube_3dl_file(lutSize=%d):%d\n", lutSize, -1);
        return -1;
    }
    lutgrade::TableFile file = lutgrade::table_from_file(path, lutSize);
    if (file.reason.empty() && !static_cast<const impCL3DLut*>(impl_)->device_context().context)
        file.reason = "no OpenCL device";
    // The reason first, then the reader's own lines and the table write's.
    if (!file.reason.empty())
        gpurt::gpu_print("Error @load_filter_of_cube_3dl_file(%s): %s\n", path ? path : "(null)",
                         file.reason.c_str());
    if (!file.lines.empty()) gpurt::gpu_print("%s", file.lines.c_str());
    return impl_->setLutImage(lutSize, file.table.empty() ? nullptr : file.table.data());
}

// Each entry costs a reset of about 46 thousand grid floats and a pass over
// all 4913 table points; a count beyond any real adjustment list is refused
// rather than ground through.
int Lut3D::load_filter_from_HSV(Chi3dlutRgbcmyInfo* entries, unsigned int count, int) {
    if ((!entries && count > 0) || count > kMaxAdjustments) {
        gpurt::gpu_print("Error @load_filter_from_HSV(count=%u):%d\n", count, -1);
        return -1;
    }
    const std::vector<float> table = lutgrade::table_from_adjustments(entries, count);
    return impl_->setLutImage(Orvalen::OrvalenQcom3DLUT::kEdge, table.data());
}

int Lut3D::load_filter_from_HSV_file(const char* path) {
    std::vector<Chi3dlutRgbcmyInfo> entries;
    std::string error;
    if (!path || !lutgrade::read_adjustment_file(path, entries, error)) {
        gpurt::gpu_print("Error @load_filter_from_HSV_file(%s): %s\n", path ? path : "(null)",
                         path ? error.c_str() : "no file named");
        return -1;
    }
    return load_filter_from_HSV(entries.data(), static_cast<unsigned>(entries.size()), 0);
}

void Lut3D::set_strength(float strength) { impl_->setStrength(strength); }

void Lut3D::getLutInfoRange(LutInfoRange& range, Chi3dlutModeInfo mode) {
    Orvalen::fill_lut_info_range(range, mode);
}
