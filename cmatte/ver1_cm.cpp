#include "ver1_cm.h"

#include "gpu_runtime/gpu_print.h"
#include "gpu_runtime/kernel_launch.h"
#include "ver2_geometry.h"
#include "working_plane.h"

extern const gpurt::EmbeddedProgram ver1_cm_program;

namespace {

using cmatte::Element;
using cmatte::Grid;
using gpurt::ArgStatus;
using gpurt::ArgStep;
using gpurt::KernelArg;

const char kCk1[] = "Error @clCreateKernel1:%d\n";
const char kCk4[] = "Error @clCreateKernel4:%d\n";
const char kCk5[] = "Error @clCreateKernel5:%d\n";

const gpurt::ContextVariant kVariant{
    {"Intel(R) OpenCL HD Graphics", "Intel(R) OpenCL Graphics"},
    gpurt::QueueApi::kWithProperties,
    2,
    "Error @clBuildProgram:%d\n",
    {{"nv12_GM_getUVdistance", kCk1},
     {"yuy2_GM_getUVdistance", kCk1},
     {"nv12_GM_alpha_gaussBlur", "Error @clCreateKernel2:%d\n"},
     {"nv12_GM_blendForeAndBack", kCk4},
     {"yuy2_GM_blendForeAndBack", kCk4},
     {"nv12_OPT_subSampleHSV", kCk4},
     {"yuy2_OPT_subSampleHSV", kCk4},
     {"nv12_OPT_statErrorFuncVal", kCk5},
     {"yuy2_OPT_statErrorFuncVal", kCk5}},
    64,
    ver1_cm_program,
};

const gpurt::FrameMessages& kFrameMessages = gpurt::standard_frame_messages();

const char kSiteArg[] = "Error (%d) @clSetKernelArg:%d\n";  // frame kernels: call site, status
const char kArg[] = "Error @clSetKernelArg:%d\n";           // calibration kernels
const char kGetAlphaFailed[] = "Error @exec_NV12_GM_getAlpha:%d\n";
const char kSmoothFailed[] = "Error @exec_NV12_GM_smoothAlpha:%d\n";
const char kBlendFailed[] = "Error @exec_NV12_GM_ForebackBlend:%d\n";
const char kReadFailed[] = "Error @clEnqueueReadImage:%d\n";

KernelArg mem(cl_mem m) { return KernelArg::mem(m); }
KernelArg i32(int v) { return KernelArg::i32(v); }

void release(cl_mem& m) {
  if (m) clReleaseMemObject(m);
  m = nullptr;
}

// Texel columns of a plane w pixels wide, four pixels per texel.
std::size_t texels4(int w) { return static_cast<std::size_t>(cmatte::round_up4(w) / 4); }

cl_mem create_hsv_image(cl_context context, int w, int h) {
  const cl_image_format format{CL_RGBA, CL_UNORM_INT8};
  cl_image_desc desc{};
  desc.image_type = CL_MEM_OBJECT_IMAGE2D;
  desc.image_width = static_cast<std::size_t>(w);
  desc.image_height = static_cast<std::size_t>(h);
  cl_int status = CL_INVALID_CONTEXT;
  cl_mem image = context ? clCreateImage(context, CL_MEM_READ_WRITE, &format, &desc, nullptr, &status) : nullptr;
  if (status != CL_SUCCESS) {
    gpurt::gpu_print("Error @clCreateImage(create_CL_Image_HSV_RGBA):%d\n", status);
    return nullptr;
  }
  return image;
}

}  // namespace

ver1_cm::KeyConstants ver1_cm::key_constants(int keyColor) {
  if (keyColor == 1) return {0.2f, 0.1f, 0.3f, 10.0f};
  return {0.4f, 0.35f, 0.5f, 10.0f};
}

ver1_cm::ver1_cm(int gpuPriority) : dc_(kVariant, gpuPriority) {}

ver1_cm::~ver1_cm() {
  release_calibration_set();
  release(matte_);
  release(alpha_);
  for (gpurt::Yuy2Images* images : {&yuy2_.out, &yuy2_.bg, &yuy2_.cam}) gpurt::release_images(*images);
  for (gpurt::Nv12Images* images : {&nv12_.out, &nv12_.bg, &nv12_.cam}) gpurt::release_images(*images);
}

int ver1_cm::initOpenCL() {
  setKeyColor(2);
  return dc_.initOpenCL();
}

void ver1_cm::setKeyColor(int code) {
  if (code < 1 || code > 3) return;
  keyColor_ = code;
  const KeyConstants k = key_constants(code);
  similar_ = k.similar;
  similarLower_ = k.lower;
  similarUpper_ = k.upper;
  smooth_ = k.smooth;
}

void ver1_cm::requestSimilarCalibration(void (*callback)(float)) {
  calibRequest_ = 1;
  callback_ = callback;
}

cl_kernel ver1_cm::kernel(Kernel k) const {
  return static_cast<std::size_t>(k) < dc_.kernels.size() ? dc_.kernels[k] : nullptr;
}

namespace {

// Sets the arguments, then launches; a launch whose arguments could not all
// be set is not enqueued (a stale or missing argument would reach the device).
cl_int run_kernel(gpurt::DeviceContext& dc, cl_command_queue q, cl_kernel kernel, std::initializer_list<ArgStep> args,
                  Grid grid, const char* failure) {
  if (gpurt::set_kernel_args(kernel, args, ArgStatus::kEach) != CL_SUCCESS) {
    gpurt::gpu_print(failure, CL_INVALID_KERNEL_ARGS);
    return CL_INVALID_KERNEL_ARGS;
  }
  return gpurt::launch_kernel_2d(dc, q, kernel, grid.x, grid.y, failure);
}

}  // namespace

template <class Images, class Create>
void ver1_cm::prepare_frame(LayoutSet<Images>& set, int w, int h, Create create) {
  const bool resized = w != frameW_ || h != frameH_;
  frameW_ = w;
  frameH_ = h;
  // Each layout keeps its own images, so that alternating layouts of one
  // size never meets a missing set.
  if (set.w != w || set.h != h) {
    for (Images* images : {&set.out, &set.bg, &set.cam}) gpurt::release_images(*images);
    set.w = w;
    set.h = h;
    if (create(dc_, w, h, set.cam, kFrameMessages) != 0)
      gpurt::gpu_print("Error 1");
    else if (create(dc_, w, h, set.bg, kFrameMessages) != 0)
      gpurt::gpu_print("Error 2");
    else if (create(dc_, w, h, set.out, kFrameMessages) != 0)
      gpurt::gpu_print("Error 3");
  }
  if (!resized) return;
  release(matte_);
  release(alpha_);
  alpha_ = cmatte::create_working_plane(dc_.context, queue_a(), w, h, Element::kByte);
  if (alpha_) matte_ = cmatte::create_working_plane(dc_.context, queue_a(), w, h, Element::kByte);
  if (!matte_) gpurt::gpu_print("Error 4");
  release_calibration_set();
  create_calibration_set(w / 2, h / 2);
}

void ver1_cm::create_calibration_set(int w, int h) {
  gpurt::gpu_print("init1:w=%d h=%d\n", w, h);
  CalibrationSet& c = calib_;
  c.width = w;
  c.height = h;
  // Images cover whole texels and an even number of rows.
  const int iw = cmatte::round_up4(w), ih = (h + 1) / 2 * 2;
  if (gpurt::createFrameImagesNV12(dc_, iw, ih, c.half, kFrameMessages) != 0) return;
  if (!(c.hsv = create_hsv_image(dc_.context, iw, ih))) return;
  if (gpurt::createFrameImageYUY2(dc_, iw, ih, c.halfYuy2, kFrameMessages) != 0) return;
  for (cl_mem* plane : {&c.alpha, &c.matte, &c.stats})
    if (!(*plane = cmatte::create_working_plane(dc_.context, queue_b(), w, h, Element::kByte))) return;
  const std::size_t positions = static_cast<std::size_t>(w) * static_cast<std::size_t>(h);
  c.alphaArray.assign(positions, 0);
  c.statArray.assign(positions, 0);
  gpurt::gpu_print("init2:w=%d h=%d\n", w, h);
}

void ver1_cm::release_calibration_set() {
  CalibrationSet& c = calib_;
  for (cl_mem* m : {&c.stats, &c.matte, &c.alpha}) release(*m);
  gpurt::release_images(c.halfYuy2);
  release(c.hsv);
  gpurt::release_images(c.half);
  c.alphaArray.clear();
  c.statArray.clear();
}

cl_int ver1_cm::smooth_alpha(cl_command_queue q, cl_mem alpha, int w, int h, float similar, float smooth, cl_mem matte,
                             bool frame) {
  const KernelArg args[] = {mem(alpha), i32(w), i32(h), KernelArg::f32(similar), KernelArg::f32(smooth), mem(matte)};
  const char* message = frame ? kSiteArg : kArg;
  const int site = frame ? 599 : -1;
  auto at = [&](int i) { return ArgStep{args[i], message, site < 0 ? -1 : site + 3 * i}; };
  return run_kernel(dc_, q, kernel(kGaussBlur), {at(0), at(1), at(2), at(3), at(4), at(5)},
                    {texels4(w), static_cast<std::size_t>(h)}, kSmoothFailed);
}

void ver1_cm::runNV12(int w, int h, const unsigned char* camY, const unsigned char* camUV, const unsigned char* bgY,
                      const unsigned char* bgUV, unsigned char* outY, unsigned char* outUV) {
  if (!dc_.ready) return;
  const void* planes[] = {camY, camUV, bgY, bgUV, outY, outUV};
  if (!gpurt::check_frame("exec_ColorMatting_NV12", w, h, planes, 6)) return;
  prepare_frame(nv12_, w, h, gpurt::createFrameImagesNV12);
  const LayoutSet<gpurt::Nv12Images>& s = nv12_;
  const std::size_t tw = static_cast<std::size_t>(w / 4), uh = static_cast<std::size_t>(h);

  cl_int status = gpurt::writeFrameNV12(queue_a(), s.cam, w, h, camY, camUV, kFrameMessages);
  status |= gpurt::writeFrameNV12(queue_a(), s.bg, w, h, bgY, bgUV, kFrameMessages);
  status |= run_kernel(dc_, queue_a(), kernel(kNv12Distance),
                       {{mem(s.cam.y), kSiteArg, 568},
                        {mem(s.cam.uv), kSiteArg, 571},
                        {mem(alpha_), kSiteArg, 574},
                        {i32(keyColor_), kSiteArg, 577}},
                       {tw, uh}, kGetAlphaFailed);
  status |= smooth_alpha(queue_a(), alpha_, w, h, similar_, smooth_, matte_, true);
  status |= run_kernel(dc_, queue_a(), kernel(kNv12Blend),
                       {{mem(s.cam.y), kSiteArg, 637},
                        {mem(s.cam.uv), kSiteArg, 640},
                        {i32(w), kSiteArg, 643},
                        {mem(s.bg.y), kSiteArg, 646},
                        {mem(s.bg.uv), kSiteArg, 649},
                        {mem(matte_), kSiteArg, 652},
                        {mem(s.out.y), kSiteArg, 655},
                        {mem(s.out.uv), kSiteArg, 658},
                        {i32(keyColor_), kSiteArg, 661}},
                       {tw, uh / 2}, kBlendFailed);
  if (status != CL_SUCCESS) gpurt::gpu_print("Error @clFinish:%d\n", status);

  gpurt::readImage2D(queue_a(), s.out.y, tw, uh, outY);
  const cl_int read = gpurt::readImage2D(queue_a(), s.out.uv, tw, uh / 2, outUV);
  if ((status | read) != CL_SUCCESS) gpurt::gpu_print(kReadFailed, status | read);

  if (calibRequest_) calibrate(kNv12, w, h);
}

void ver1_cm::runYUY2(int w, int h, const unsigned char* cam, const unsigned char* bg, unsigned char* out) {
  if (!dc_.ready) return;
  const void* planes[] = {cam, bg, out};
  if (!gpurt::check_frame("exec_ColorMatting_YUY2", w, h, planes, 3)) return;
  prepare_frame(yuy2_, w, h, gpurt::createFrameImageYUY2);
  const LayoutSet<gpurt::Yuy2Images>& s = yuy2_;
  const std::size_t tw = static_cast<std::size_t>(w / 4), uh = static_cast<std::size_t>(h);

  cl_int status = gpurt::writeFrameYUY2(queue_a(), s.cam, w, h, cam, kFrameMessages);
  status |= gpurt::writeFrameYUY2(queue_a(), s.bg, w, h, bg, kFrameMessages);
  status |=
      run_kernel(dc_, queue_a(), kernel(kYuy2Distance),
                 {{mem(s.cam.packed), kSiteArg, 685}, {mem(alpha_), kSiteArg, 688}, {i32(keyColor_), kSiteArg, 691}},
                 {tw, uh}, kGetAlphaFailed);
  status |= smooth_alpha(queue_a(), alpha_, w, h, similar_, smooth_, matte_, true);
  status |= run_kernel(dc_, queue_a(), kernel(kYuy2Blend),
                       {{mem(s.cam.packed), kSiteArg, 713},
                        {mem(s.bg.packed), kSiteArg, 716},
                        {mem(matte_), kSiteArg, 719},
                        {mem(s.out.packed), kSiteArg, 722},
                        {i32(keyColor_), kSiteArg, 725}},
                       {tw, uh / 2}, kBlendFailed);
  if (status != CL_SUCCESS) gpurt::gpu_print("Error @clFinish:%d\n", status);

  gpurt::readImage2D(queue_a(), s.out.packed, static_cast<std::size_t>(w / 2), uh, out);
  const cl_int finished = queue_a() ? clFinish(queue_a()) : CL_INVALID_COMMAND_QUEUE;
  if (finished != CL_SUCCESS) gpurt::gpu_print(kReadFailed, finished);

  if (calibRequest_) calibrate(kYuy2, w, h);
}

void ver1_cm::evaluateSimilarity(float similar, float smooth, float e[5]) {
  CalibrationSet& c = calib_;
  const Grid grid{texels4(c.width), static_cast<std::size_t>(c.height)};
  const KernelArg key = i32(keyColor_);
  if (calibLayout_ == kNv12) {
    run_kernel(dc_, queue_b(), kernel(kNv12Distance),
               {{mem(c.half.y), kArg}, {mem(c.half.uv), kArg}, {mem(c.alpha), kArg}, {key, kArg}}, grid,
               kGetAlphaFailed);
  } else {
    run_kernel(dc_, queue_b(), kernel(kYuy2Distance),
               {{mem(c.halfYuy2.packed), kArg}, {mem(c.alpha), kArg}, {key, kArg}}, grid, kGetAlphaFailed);
  }
  smooth_alpha(queue_b(), c.alpha, c.width, c.height, similar, smooth, c.matte, false);
  if (calibLayout_ == kNv12)
    run_kernel(dc_, queue_b(), kernel(kNv12Stat),
               {{mem(c.half.y), kArg},
                {mem(c.half.uv), kArg},
                {mem(c.hsv), kArg},
                {mem(c.matte), kArg},
                {mem(c.stats), kArg},
                {key, kArg}},
               grid, "Error @exec_NV12_OPT_subsample_toHsv:%d\n");
  else
    run_kernel(
        dc_, queue_b(), kernel(kYuy2Stat),
        {{mem(c.halfYuy2.packed), kArg}, {mem(c.hsv), kArg}, {mem(c.matte), kArg}, {mem(c.stats), kArg}, {key, kArg}},
        grid, "Error @exec_YUY2_OPT_statErrorFuncVal:%d\n");

  const std::size_t positions = c.alphaArray.size();
  if (positions > 0) {
    const cmatte::PlaneShape shape = cmatte::plane_shape(c.width, c.height, Element::kByte);
    for (auto [plane, array] : {std::pair{c.stats, c.statArray.data()}, std::pair{c.matte, c.alphaArray.data()}}) {
      const cl_int read = cmatte::read_working_plane(queue_b(), plane, shape, array);
      if (read != CL_SUCCESS) gpurt::gpu_print(kReadFailed, read);
    }
  }

  float sum[5] = {0, 0, 0, 0, 0};
  for (std::size_t i = 0; i < positions; ++i) {
    const unsigned a = c.alphaArray[i], f = c.statArray[i];
    if (a > 0 && a < 255) {
      sum[0] += 1.0f;
      if (f & 1u) {
        sum[1] += static_cast<float>(a) * 0.0039215f;
        sum[4] += static_cast<float>(a) * 0.0039215f;
      } else {
        sum[4] += 1.0f;
      }
    }
    if (f & 4u) sum[2] += 1.0f;
    if (f & 8u) sum[3] += 1.0f;
  }
  for (int i = 0; i < 5; ++i) e[i] = sum[i];
  gpurt::gpu_print("threadFunc: similar=%f, smooth=%f, err=%f,%f,%f,%f  err5=%f\n", similar, smooth, e[0], e[1], e[2],
                   e[3], e[4]);
}

void ver1_cm::calibrate(Layout layout, int w, int h) {
  calibRequest_ = 0;
  calibLayout_ = layout;
  CalibrationSet& c = calib_;
  const std::size_t tw = texels4(w / 2);
  cl_int status;
  if (layout == kNv12)
    status = run_kernel(dc_, queue_b(), kernel(kNv12SubSample),
                        {{mem(nv12_.cam.y), kArg},
                         {mem(nv12_.cam.uv), kArg},
                         {mem(c.half.y), kArg},
                         {mem(c.half.uv), kArg},
                         {mem(c.hsv), kArg}},
                        {tw, static_cast<std::size_t>((h / 2 + 1) / 2)}, "Error @exec_NV12_OPT_subsample_toHsv:%d\n");
  else
    status = run_kernel(dc_, queue_b(), kernel(kYuy2SubSample),
                        {{mem(yuy2_.cam.packed), kArg}, {mem(c.halfYuy2.packed), kArg}, {mem(c.hsv), kArg}},
                        {tw, static_cast<std::size_t>(h / 2)}, "Error @exec_YUY2_OPT_subsample_toHsv:%d\n");
  if (status != CL_SUCCESS) return;

  const KeyConstants k = key_constants(keyColor_);
  similar_ = k.similar;
  similarLower_ = k.lower;
  similarUpper_ = k.upper;
  smooth_ = k.smooth;
  const cmatte::SimilarResult best = cmatte::searchSimilar(similar_, similarLower_, similarUpper_, c.alphaArray.data(),
                                                           c.statArray.data(), keyColor_, c.width, c.height, this);
  gpurt::gpu_print("==>> serach_Similar=%f\n", best.similar);
  calibratedSimilar_ = best.similar;
  if (callback_) callback_(best.similar);
  similar_ = best.similar;
}
