#include "impCL3DLut.h"

#include <vector>

#include "gpu_runtime/gpu_print.h"
#include "gpu_runtime/kernel_launch.h"
#include "gpu_runtime/yuv_convention.h"

extern const gpurt::EmbeddedProgram lutgrade_program;

namespace {

using gpurt::ArgStatus;
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

std::size_t entries(int n) { return static_cast<std::size_t>(n) * n * n; }

// A table entry as the Y', Cb, Cr codes (0..1) of its output colour.
cl_float4 ycbcr_entry(const unsigned char* rgb) {
  const float r = rgb[0] / 255.0f, g = rgb[1] / 255.0f, b = rgb[2] / 255.0f;
  const float yn = YUVC_KR * r + YUVC_KG * g + YUVC_KB * b;
  cl_float4 e;
  e.s[0] = (YUVC_Y_OFFSET + YUVC_Y_RANGE * yn) / 255.0f;
  e.s[1] = (YUVC_C_OFFSET + YUVC_C_RANGE * (b - yn) / YUVC_B_PB) / 255.0f;
  e.s[2] = (YUVC_C_OFFSET + YUVC_C_RANGE * (r - yn) / YUVC_R_PR) / 255.0f;
  e.s[3] = 0.0f;
  return e;
}

}  // namespace

impCL3DLut::impCL3DLut(int gpuPriority) : dc_(kVariant, gpuPriority) {}

impCL3DLut::~impCL3DLut() {
  for (auto* set : {&nv12_.out, &nv12_.in}) gpurt::release_images(*set);
  for (auto* set : {&i420_.out, &i420_.in}) gpurt::release_images(*set);
  for (auto* set : {&yuy2_.out, &yuy2_.in}) gpurt::release_images(*set);
  if (table_) clReleaseMemObject(table_);
}

int impCL3DLut::initOpenCL() { return dc_.initOpenCL(); }

cl_kernel impCL3DLut::kernel(Kernel k) const {
  return static_cast<std::size_t>(k) < dc_.kernels.size() ? dc_.kernels[k] : nullptr;
}

bool impCL3DLut::table_edge_supported(int n) const {
  if (n < kMinEdge || n > kMaxEdge) return false;
  cl_ulong maxAlloc = 0;
  if (dc_.device &&
      clGetDeviceInfo(dc_.device, CL_DEVICE_MAX_MEM_ALLOC_SIZE, sizeof maxAlloc, &maxAlloc, nullptr) == CL_SUCCESS)
    return entries(n) * sizeof(cl_float4) <= maxAlloc;
  return true;
}

// The table lives on the device as n^3 float4 entries holding the Y', Cb, Cr
// codes of each output colour, read by the kernels with plain buffer loads
// (much cheaper than 3D image reads on CPU devices, and exact at the points).
int impCL3DLut::setLutImage(int n, const unsigned char* table) {
  if (!table_edge_supported(n)) {
    gpurt::gpu_print("Error @setLutImage(lutSize=%d):%d\n", n, -1);
    return -1;
  }
  if (!table) {  // no table was read: keep the current one
    gpurt::gpu_print(kTableWriteFailed, CL_INVALID_VALUE);
    return CL_INVALID_VALUE;
  }

  bool created = true;
  if (n != tableEdge_ || !table_) {
    tableEdge_ = n;
    if (table_) clReleaseMemObject(table_);
    table_ = nullptr;
    cl_int status = CL_INVALID_CONTEXT;
    if (dc_.context)
      table_ = clCreateBuffer(dc_.context, CL_MEM_READ_ONLY, entries(n) * sizeof(cl_float4), nullptr, &status);
    if (status != CL_SUCCESS) {
      gpurt::gpu_print("Error @clCreateImage(1D):%d\n", status);
      table_ = nullptr;
      created = false;
    }
  }

  std::vector<cl_float4> values(entries(n));
  for (std::size_t i = 0; i < values.size(); ++i) values[i] = ycbcr_entry(&table[4 * i]);
  cl_int status = table_ ? CL_INVALID_COMMAND_QUEUE : CL_INVALID_MEM_OBJECT;
  if (table_ && queue())
    status = clEnqueueWriteBuffer(queue(), table_, CL_TRUE, 0, values.size() * sizeof(cl_float4), values.data(), 0,
                                  nullptr, nullptr);
  if (status != CL_SUCCESS) gpurt::gpu_print(kTableWriteFailed, status);
  return created ? status : -1;
}

template <class Images, class Create>
void impCL3DLut::ensure_frame_images(LayoutImages<Images>& set, int w, int h, Create create) {
  if (set.w == w && set.h == h) return;
  set.w = w;
  set.h = h;
  gpurt::release_images(set.in);
  gpurt::release_images(set.out);
  if (create(dc_, w, h, set.in, kFrameMessages) != 0)
    gpurt::gpu_print("Error 1");
  else if (create(dc_, w, h, set.out, kFrameMessages) != 0)
    gpurt::gpu_print("Error 2");
  dc_.localSizes.clear();
}

void impCL3DLut::runNV12(int w, int h, const unsigned char* srcY, const unsigned char* srcUV, unsigned char* dstY,
                         unsigned char* dstUV) {
  const void* planes[] = {srcY, srcUV, dstY, dstUV};
  if (!gpurt::check_frame("exec_3DLut_NV12", w, h, planes, 4)) return;
  ensure_frame_images(nv12_, w, h, gpurt::createFrameImagesNV12);
  if (!table_) return;

  gpurt::writeFrameNV12(queue(), nv12_.in, w, h, srcY, srcUV, kFrameMessages);
  gpurt::set_kernel_args(kernel(kNV12),
                         {{KernelArg::mem(nv12_.in.y), kArgFailed},
                          {KernelArg::mem(nv12_.in.uv), kArgFailed},
                          {KernelArg::mem(table_), kArgFailedAt, 970},
                          {KernelArg::i32(tableEdge_), kArgFailedAt, 973},
                          {KernelArg::mem(nv12_.out.y), kArgFailedAt, 976},
                          {KernelArg::mem(nv12_.out.uv), kArgFailedAt, 979}},
                         ArgStatus::kRunningSum);
  gpurt::launch_kernel_2d(dc_, queue(), kernel(kNV12), w / 4, h, kLaunchFailed);
  gpurt::readFrameNV12(queue(), nv12_.out, w, h, dstY, dstUV);
}

void impCL3DLut::runI420(int w, int h, const unsigned char* srcY, const unsigned char* srcU,
                         const unsigned char* srcV, unsigned char* dstY, unsigned char* dstU, unsigned char* dstV) {
  const void* planes[] = {srcY, srcU, srcV, dstY, dstU, dstV};
  if (!gpurt::check_frame("exec_3DLut_I420", w, h, planes, 6)) return;
  ensure_frame_images(i420_, w, h, gpurt::createFrameImagesI420);
  if (!table_) return;

  gpurt::writeFrameI420(queue(), i420_.in, w, h, srcY, srcU, srcV, kFrameMessages);
  gpurt::set_kernel_args(kernel(kI420),
                         {{KernelArg::mem(i420_.in.y), kArgFailed},
                          {KernelArg::mem(i420_.in.u), kArgFailed},
                          {KernelArg::mem(i420_.in.v), kArgFailed},
                          {KernelArg::mem(table_), kArgFailedAt, 1015},
                          {KernelArg::i32(tableEdge_), kArgFailedAt, 1018},
                          {KernelArg::mem(i420_.out.y), kArgFailedAt, 1021},
                          {KernelArg::mem(i420_.out.u), kArgFailedAt, 1024},
                          {KernelArg::mem(i420_.out.v), kArgFailedAt, 1027}},
                         ArgStatus::kRunningSum);
  gpurt::launch_kernel_2d(dc_, queue(), kernel(kI420), w / 4, h, kLaunchFailed);
  gpurt::readFrameI420(queue(), i420_.out, w, h, dstY, dstU, dstV);
}

void impCL3DLut::runYUY2(int w, int h, const unsigned char* src, unsigned char* dst) {
  const void* planes[] = {src, dst};
  if (!gpurt::check_frame("exec_3DLut_YUY2", w, h, planes, 2)) return;
  ensure_frame_images(yuy2_, w, h, gpurt::createFrameImageYUY2);
  if (!table_) return;

  gpurt::writeFrameYUY2(queue(), yuy2_.in, w, h, src, kFrameMessages);
  gpurt::set_kernel_args(kernel(kYUY2),
                         {{KernelArg::mem(yuy2_.in.packed), kArgFailed},
                          {KernelArg::mem(table_), kArgFailedAt, 1058},
                          {KernelArg::i32(tableEdge_), "Error (%d) @clSetKernelAr3g:%d\n", 1061},
                          {KernelArg::mem(yuy2_.out.packed), kArgFailedAt, 1064}},
                         ArgStatus::kRunningSum);
  gpurt::launch_kernel_2d(dc_, queue(), kernel(kYUY2), w / 4, h, kLaunchFailed);
  gpurt::readFrameYUY2(queue(), yuy2_.out, w, h, dst);
}
