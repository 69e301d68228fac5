#include "gpu/impCL3DLut.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <vector>

#include "gpu_runtime/gpu_print.h"
#include "gpu_runtime/kernel_launch.h"
#include "gpu_runtime/yuv_convention.h"
#include "tables/table_resample.h"

extern const gpurt::EmbeddedProgram lutgrade_program;

namespace {

using gpurt::ArgStatus;
using gpurt::FrameLayout;
using gpurt::KernelArg;

const gpurt::ContextVariant kVariant{
    {"Intel(R) OpenCL HD Graphics"},
    gpurt::QueueApi::kWithProperties,
    1,
    "Error @clBuildProgram:%d\n",
    {{"nv12_GM_3DLut_tex3D", "Error @clCreateKernel1:%d\n"},
     {"yuy2_GM_3DLut_tex3D", "Error @clCreateKernel2:%d\n"},
     {"i420_GM_3DLut_tex3D", "Error @clCreateKernel3:%d\n"}},
    32,
    lutgrade_program,
};

const gpurt::FrameMessages& kFrameMessages = gpurt::standard_frame_messages();

const char kArgFailed[] = "Error @clSetKernelArg:%d\n";
const char kArgFailedAt[] = "Error (%d) @clSetKernelArg:%d\n";
const char kLaunchFailed[] = "Error @kernelGetDistance:%d\n";
const char kTableWriteFailed[] = "Error @clEnqueueWriteImage(1Y):%d\n";
const char* const kFrameCreateFailed[] = {"Error 1", "Error 2"};  // source, destination

// What differs between the layouts, in FrameLayout order. The arguments from
// the table on carry call-site numbers three apart.
struct GradeLayout {
    const char* call;
    impCL3DLut::Kernel kernel;
    int tableSite;
    const char* edgeArgFailed;
};
const GradeLayout kGradeLayouts[] = {
    {"exec_3DLut_NV12", impCL3DLut::kNV12, 970, kArgFailedAt},
    {"exec_3DLut_I420", impCL3DLut::kI420, 1015, kArgFailedAt},
    {"exec_3DLut_YUY2", impCL3DLut::kYUY2, 1058, "Error (%d) @clSetKernelAr3g:%d\n"},
};

const GradeLayout& grade_layout(FrameLayout layout) {
    return kGradeLayouts[static_cast<int>(layout)];
}

std::size_t entries(int n) { return static_cast<std::size_t>(n) * n * n; }

// A table entry as the Y', Cb, Cr codes (0..1) of its output colour, clamped to the RGB cube.
cl_float4 ycbcr_entry(const float* rgb) {
    const float r = std::clamp(rgb[0], 0.0f, 1.0f), g = std::clamp(rgb[1], 0.0f, 1.0f),
                b = std::clamp(rgb[2], 0.0f, 1.0f);
    const float yn = YUVC_KR * r + YUVC_KG * g + YUVC_KB * b;
    cl_float4 e;
    e.s[0] = (YUVC_Y_OFFSET + YUVC_Y_RANGE * yn) / 255.0f;
    e.s[1] = (YUVC_C_OFFSET + YUVC_C_RANGE * (b - yn) / YUVC_B_PB) / 255.0f;
    e.s[2] = (YUVC_C_OFFSET + YUVC_C_RANGE * (r - yn) / YUVC_R_PR) / 255.0f;
    e.s[3] = 0.0f;
    return e;
}

}  // namespace

impCL3DLut::impCL3DLut(int gpuPriority) : mDc(kVariant, gpuPriority) {}

int impCL3DLut::initOpenCL() { return mDc.initOpenCL(); }

bool impCL3DLut::table_edge_supported(int n) const {
    if (n < kMinEdge || n > kMaxEdge) return false;
    cl_ulong maxAlloc = 0;
    if (mDc.device && clGetDeviceInfo(mDc.device, CL_DEVICE_MAX_MEM_ALLOC_SIZE, sizeof maxAlloc,
                                      &maxAlloc, nullptr) == CL_SUCCESS)
        return entries(n) * sizeof(cl_float4) <= maxAlloc;
    return true;
}

// The table lives on the device as n^3 float4 entries holding the Y', Cb, Cr
// codes of each output colour, read by the kernels with plain buffer loads
// (much cheaper than 3D image reads on CPU devices, and exact at the points).
int impCL3DLut::setLutImage(int n, const float* table) {
    if (!table_edge_supported(n)) {
        gpurt::gpu_print("Error @setLutImage(lutSize=%d):%d\n", n, -1);
        return -1;
    }
    if (!table) {  // no table was read: keep the current one
        gpurt::gpu_print(kTableWriteFailed, CL_INVALID_VALUE);
        return CL_INVALID_VALUE;
    }

    bool created = true;
    if (n != mTableEdge || !mTable) {
        mTableEdge = n;
        mTable.reset();
        cl_int status = CL_INVALID_CONTEXT;
        cl_mem buffer = nullptr;
        if (mDc.context)
            buffer = clCreateBuffer(mDc.context, CL_MEM_READ_ONLY, entries(n) * sizeof(cl_float4),
                                    nullptr, &status);
        if (status != CL_SUCCESS) {
            gpurt::gpu_print("Error @clCreateImage(1D):%d\n", status);
            buffer = nullptr;
            created = false;
        }
        mTable.reset(buffer);
    }

    mLoaded.assign(table, table + entries(n) * 3);
    const cl_int status = upload_table();
    return created ? status : -1;
}

cl_int impCL3DLut::upload_table() {
    mStrengthChanged = false;
    std::vector<float> rgb = mLoaded;
    if (mStrength != 1.0f) lutgrade::blend_towards_identity(rgb, mTableEdge, mStrength);
    std::vector<cl_float4> values(entries(mTableEdge));
    for (std::size_t i = 0; i < values.size(); ++i) values[i] = ycbcr_entry(&rgb[3 * i]);
    cl_int status = mTable ? CL_INVALID_COMMAND_QUEUE : CL_INVALID_MEM_OBJECT;
    if (mTable && queue())
        status =
            clEnqueueWriteBuffer(queue(), mTable, CL_TRUE, 0, values.size() * sizeof(cl_float4),
                                 values.data(), 0, nullptr, nullptr);
    if (status != CL_SUCCESS) gpurt::gpu_print(kTableWriteFailed, status);
    return status;
}

void impCL3DLut::setStrength(float strength) {
    if (!(strength >= 0.0f && strength <= 1.0f)) {  // NaN too
        gpurt::gpu_print("Error @set_strength(%g):%d\n", static_cast<double>(strength), -1);
        return;
    }
    mStrengthChanged = mStrengthChanged || strength != mStrength;
    mStrength = strength;
}

namespace lutgrade {

gpurt::Pass grade_pass(FrameLayout layout, const gpurt::FrameImages& src, cl_mem table, int edge,
                       const gpurt::FrameImages& dst, int w, int h) {
    const GradeLayout& g = grade_layout(layout);
    gpurt::Pass pass{g.kernel,
                     {},
                     static_cast<std::size_t>(w / 4),
                     static_cast<std::size_t>(h),
                     kLaunchFailed,
                     ArgStatus::kRunningSum,
                     gpurt::LocalSize::kCached};
    for (int i = 0; i < src.plane_count(); ++i)
        pass.args.push_back({KernelArg::mem(src.kernel_plane(i)), kArgFailed});
    pass.args.push_back({KernelArg::mem(table), kArgFailedAt, g.tableSite});
    pass.args.push_back({KernelArg::i32(edge), g.edgeArgFailed, g.tableSite + 3});
    for (int i = 0; i < dst.plane_count(); ++i)
        pass.args.push_back(
            {KernelArg::mem(dst.kernel_plane(i)), kArgFailedAt, g.tableSite + 6 + 3 * i});
    return pass;
}

}  // namespace lutgrade

void impCL3DLut::run(FrameLayout layout, int w, int h, const std::uint8_t* const src[],
                     std::uint8_t* const dst[]) {
    if (!gpurt::check_frames(grade_layout(layout).call, layout, w, h, {src, dst})) return;

    gpurt::FrameSet<2>& frames = mFrames[static_cast<int>(layout)];
    const int made =
        frames.ensure(mDc, layout, w, h, kFrameMessages, gpurt::FrameAccess::kKernelBuffers);
    if (made != gpurt::FrameSet<2>::kUnchanged) {
        if (made < 2) gpurt::gpu_print("%s", kFrameCreateFailed[made]);
        mDc.localSizes.clear();
    }
    if (!mTable) return;
    if (mStrengthChanged && !mLoaded.empty()) upload_table();

    frames[0].upload(queue(), src, kFrameMessages);
    gpurt::QueueLauncher(mDc, queue())
        .run(lutgrade::grade_pass(layout, frames[0], mTable, mTableEdge, frames[1], w, h));
    frames[1].read_back(queue(), dst);
}

void impCL3DLut::runNV12(int w, int h, const unsigned char* srcY, const unsigned char* srcUV,
                         unsigned char* dstY, unsigned char* dstUV) {
    const std::uint8_t* const src[] = {srcY, srcUV};
    std::uint8_t* const dst[] = {dstY, dstUV};
    run(FrameLayout::kNv12, w, h, src, dst);
}

void impCL3DLut::runI420(int w, int h, const unsigned char* srcY, const unsigned char* srcU,
                         const unsigned char* srcV, unsigned char* dstY, unsigned char* dstU,
                         unsigned char* dstV) {
    const std::uint8_t* const src[] = {srcY, srcU, srcV};
    std::uint8_t* const dst[] = {dstY, dstU, dstV};
    run(FrameLayout::kI420, w, h, src, dst);
}

void impCL3DLut::runYUY2(int w, int h, const unsigned char* src, unsigned char* dst) {
    const std::uint8_t* const srcPlanes[] = {src};
    std::uint8_t* const dstPlanes[] = {dst};
    run(FrameLayout::kYuy2, w, h, srcPlanes, dstPlanes);
}
