#include "ver2_cm.h"

#include <cmath>

#include "gpu_runtime/gpu_print.h"
#include "gpu_runtime/kernel_launch.h"
#include "working_plane.h"

extern const gpurt::EmbeddedProgram ver2_cm_program;

namespace {

using cmatte::Element;
using cmatte::Grid;
using gpurt::ArgStatus;
using gpurt::KernelArg;

const char kCk0[] = "Error @clCreateKernel0:%d\n";
const char kCk1[] = "Error @clCreateKernel1:%d\n";
const char kCk4[] = "Error @clCreateKernel4:%d\n";
const char kCk28[] = "Error @clCreateKernel28:%d\n";
const char kCk29[] = "Error @clCreateKernel29:%d\n";

const gpurt::ContextVariant kVariant{
    {"Intel(R) OpenCL HD Graphics", "Intel(R) OpenCL Graphics"},
    gpurt::QueueApi::kLegacy,
    1,
    "Error @clBuildProgram-cl-2.1:%d\n",
    {{"nv12_GM_cal_LabA_w2h2", kCk0},
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
     {"copy_buffer_to_image", kCk29}},
    64,
    ver2_cm_program,
};

const gpurt::FrameMessages& kFrameMessages = gpurt::standard_frame_messages();

const char kArg[] = "Error @clSetKernelArg:%d\n";
const char* const kArgAt[] = {"Error @clSetKernelArg0:%d\n", "Error @clSetKernelArg1:%d\n",
                              "Error @clSetKernelArg2:%d\n", "Error @clSetKernelArg3:%d\n",
                              "Error @clSetKernelArg4:%d\n"};
const char kHistArgFirst[] = "Error @clSetKernelArg1:%d\n";
const char kHistArgLater[] = "Error @clSetKernelArg2:%d\n";
const char kBlendFailed[] = "Error @exec_NV12_GM_ForebackBlend:%d\n";
const char kDotMulFailed[] = "Error @exec_NV12_GM_dot_mul:%d\n";
const char kBoxFailed[] = "Error @exec_NV12_GM_dot_add:%d\n";
const char kDown44Failed[] = "Error @exec_NV12_GM_downSample44_LabA:%d\n";
const char kReadFailed[] = "Error @clEnqueueReadImage:%d\n";
constexpr float kGuidedEpsilon = 2.7450978e-6f;

KernelArg mem(cl_mem m) { return KernelArg::mem(m); }

// Arguments with the per-position messages "Error @clSetKernelArg<i>".
void set_args_numbered(cl_kernel kernel, std::initializer_list<KernelArg> args) {
  // At most five arguments: the positions map onto the five messages.
  const KernelArg* a = args.begin();
  switch (args.size()) {
    case 2:
      gpurt::set_kernel_args(kernel, {{a[0], kArgAt[0]}, {a[1], kArgAt[1]}}, ArgStatus::kEach);
      break;
    case 3:
      gpurt::set_kernel_args(kernel, {{a[0], kArgAt[0]}, {a[1], kArgAt[1]}, {a[2], kArgAt[2]}}, ArgStatus::kEach);
      break;
    case 4:
      gpurt::set_kernel_args(kernel, {{a[0], kArgAt[0]}, {a[1], kArgAt[1]}, {a[2], kArgAt[2]}, {a[3], kArgAt[3]}},
                             ArgStatus::kEach);
      break;
    default:
      gpurt::set_kernel_args(
          kernel, {{a[0], kArgAt[0]}, {a[1], kArgAt[1]}, {a[2], kArgAt[2]}, {a[3], kArgAt[3]}, {a[4], kArgAt[4]}},
          ArgStatus::kEach);
  }
}

void release(cl_mem& m) {
  if (m) clReleaseMemObject(m);
  m = nullptr;
}

cl_mem create_table_image(cl_context context) {
  const cl_image_format format{CL_R, CL_FLOAT};
  cl_image_desc desc{};
  desc.image_type = CL_MEM_OBJECT_IMAGE2D;
  desc.image_width = ver2_cm::kTableSize;
  desc.image_height = 1;
  cl_int status = CL_INVALID_CONTEXT;
  cl_mem image = context ? clCreateImage(context, CL_MEM_READ_ONLY, &format, &desc, nullptr, &status) : nullptr;
  if (status != CL_SUCCESS) {
    gpurt::gpu_print("Error @clCreateImage(1D):%d\n", status);
    return nullptr;
  }
  return image;
}

}  // namespace

ver2_cm::ver2_cm(int gpuPriority) : dc_(kVariant, gpuPriority) {}

ver2_cm::~ver2_cm() {
  release_working_set(i420_.work);
  gpurt::release_images(i420_.out);
  gpurt::release_images(i420_.bg);
  gpurt::release_images(i420_.cam);
  release_working_set(yuy2_.work);
  gpurt::release_images(yuy2_.out);
  gpurt::release_images(yuy2_.bg);
  gpurt::release_images(yuy2_.cam);
  release_working_set(nv12_.work);
  gpurt::release_images(nv12_.out);
  gpurt::release_images(nv12_.bg);
  gpurt::release_images(nv12_.cam);
  release_quarter_planes();
  release(labImage_);
  release(linImage_);
}

cl_kernel ver2_cm::kernel(int k) const {
  return static_cast<std::size_t>(k) < dc_.kernels.size() ? dc_.kernels[k] : nullptr;
}

int ver2_cm::initOpenCL() {
  coffThres_ = 1.0f;
  frameW_ = frameH_ = 0;
  history_.resetThresholdHistory();
  const int status = dc_.initOpenCL();
  if (status == -1) return status;

  // The sRGB decoding curve and the L*a*b* companding function at i / 512.
  for (int i = 0; i < kTableSize; ++i) {
    const float x = static_cast<float>(i) * 0.001953125f;
    linearisation_[i] = x <= 0.04045f ? x * 0.07739938f : std::pow((x + 0.055f) * 0.94786733f, 2.4f);
    lab_[i] = x > 0.008856f ? std::pow(x, 0.33333334f) : 7.787f * x + 0.13793103f;
  }
  linImage_ = create_table_image(dc_.context);
  if (linImage_) labImage_ = create_table_image(dc_.context);
  if (!labImage_) {
    dc_.ready = 0;
    return -1;
  }
  cl_int upload = CL_SUCCESS;
  for (auto [image, table] : {std::pair{linImage_, linearisation_}, std::pair{labImage_, lab_}}) {
    const std::size_t origin[3] = {0, 0, 0}, region[3] = {kTableSize, 1, 1};
    upload = queue() ? clEnqueueWriteImage(queue(), image, CL_TRUE, origin, region, 0, 0, table, 0, nullptr, nullptr)
                     : CL_INVALID_COMMAND_QUEUE;
    if (upload != CL_SUCCESS) gpurt::gpu_print("Error @clEnqueueWriteImage(1Y):%d\n", upload);
  }
  const int final = status + upload;
  dc_.ready = final == 0 ? 1 : 0;
  return final;
}

void ver2_cm::create_quarter_planes(const cmatte::Ver2Geometry& g) {
  for (cl_mem& plane : quarter_) {
    plane = cmatte::create_working_plane(dc_.context, queue(), g.qw, g.qh, Element::kFloat);
    if (!plane) return;
  }
  Ga_ = cmatte::create_working_plane(dc_.context, queue(), g.fullW, g.fullH, Element::kFloat);
  if (Ga_) Gb_ = cmatte::create_working_plane(dc_.context, queue(), g.fullW, g.fullH, Element::kFloat);
}

void ver2_cm::release_quarter_planes() {
  release(Gb_);
  release(Ga_);
  for (int i = kQuarterPlanes - 1; i >= 0; --i) release(quarter_[i]);
}

void ver2_cm::create_working_set(WorkingSet& work, int w, int h) {
  auto plane = [&](int pw, int ph, Element e) {
    return cmatte::create_working_plane(dc_.context, queue(), pw, ph, e);
  };
  if (!(work.Af = plane(w, h, Element::kFloat))) return;
  if (!(work.K = plane(w, h, Element::kByte))) return;
  if (!(work.A8 = plane(w, h, Element::kByte))) return;
  if (!(work.S = plane(w, h, Element::kByte))) return;
  if (!(work.M = plane(w, h, Element::kByte))) return;
  if (!(work.half = plane((w + 1) / 2, (h + 1) / 2, Element::kByte))) return;
  work.quarter = plane((w + 3) / 4, (h + 3) / 4, Element::kByte);
}

void ver2_cm::release_working_set(WorkingSet& work) {
  for (cl_mem* m : {&work.histTotal, &work.histRows, &work.quarter, &work.half, &work.M, &work.S, &work.A8, &work.K,
                    &work.Af})
    release(*m);
}

template <class Images, class Create>
bool ver2_cm::prepare_frame(LayoutSet<Images>& set, int w, int h, Create create) {
  if (!dc_.ready) return false;
  if (w != frameW_ || h != frameH_) {
    const bool resized = frameW_ != 0 || frameH_ != 0;
    frameW_ = w;
    frameH_ = h;
    release_quarter_planes();
    geometry_ = cmatte::ver2_geometry(w, h);
    create_quarter_planes(geometry_);
    if (resized) history_.resetThresholdHistory();
  }
  if (set.w != w || set.h != h) {
    release_working_set(set.work);
    for (Images* images : {&set.out, &set.bg, &set.cam}) gpurt::release_images(*images);
    set.w = w;
    set.h = h;
    if (create(dc_, w, h, set.cam, kFrameMessages) == 0 && create(dc_, w, h, set.bg, kFrameMessages) == 0 &&
        create(dc_, w, h, set.out, kFrameMessages) == 0)
      create_working_set(set.work, w, h);
  }
  return true;
}

int ver2_cm::launch(int k, Grid grid, const char* failureMessage) {
  return gpurt::launch_kernel_2d(queue(), kernel(k), grid.x, grid.y, failureMessage);
}

int ver2_cm::keyHistogramThreshold(WorkingSet& work, int w, int h) {
  const cmatte::HistogramTier tier = cmatte::histogram_tier(w, h);
  cl_mem source = work.K;
  cl_int status = CL_SUCCESS;
  if (tier.source != cmatte::HistogramTier::kKey) {
    const bool half = tier.source == cmatte::HistogramTier::kHalfKey;
    source = half ? work.half : work.quarter;
    const int k = half ? kDownSample22 : kDownSample44;
    set_args_numbered(kernel(k), {mem(work.K), mem(source)});
    // Grids cover every destination pixel that the histogram counts.
    const Grid grid{static_cast<std::size_t>((tier.width + 3) / 4), static_cast<std::size_t>(tier.rows)};
    status |= launch(k, grid, half ? "Error @exec_NV12_GM_downSample22_LabA:%d\n" : kDown44Failed);
  }

  if (!work.histRows || !work.histTotal) {
    for (auto [buffer, words] : {std::pair{&work.histRows, 256 * tier.rows}, std::pair{&work.histTotal, 256}}) {
      if (*buffer) continue;
      cl_int created = CL_INVALID_CONTEXT;
      if (dc_.context)
        *buffer = clCreateBuffer(dc_.context, CL_MEM_READ_WRITE, sizeof(cl_uint) * words, nullptr, &created);
      if (created != CL_SUCCESS) {
        gpurt::gpu_print("Error @clCreateBuffer(histQ):%d\n", created);
        *buffer = nullptr;
      }
    }
  }
  gpurt::set_kernel_args(kernel(kStatHist),
                         {{mem(source), kHistArgFirst}, {mem(work.histRows), kHistArgLater},
                          {KernelArg::i32(tier.width), kHistArgLater}},
                         ArgStatus::kEach);
  status |= launch(kStatHist, {1, static_cast<std::size_t>(tier.rows)}, "Error @exec_stat_HistQ:%d\n");
  gpurt::set_kernel_args(kernel(kAccmHist),
                         {{mem(work.histRows), kHistArgFirst}, {mem(work.histTotal), kHistArgLater},
                          {KernelArg::i32(256), kHistArgLater}, {KernelArg::i32(tier.rows), kHistArgLater}},
                         ArgStatus::kEach);
  status |= launch(kAccmHist, {256, 1}, "Error @exec_accm_HistQ:%d\n");

  cl_int read = CL_INVALID_MEM_OBJECT;
  if (work.histTotal && queue())
    read = clEnqueueReadBuffer(queue(), work.histTotal, CL_TRUE, 0, sizeof(cl_uint) * 256, histogram_.data(), 0,
                               nullptr, nullptr);
  status |= read;
  if (status != CL_SUCCESS) {
    gpurt::gpu_print(kReadFailed, status);
    return 0;
  }
  return cmatte::otsu_threshold(histogram_.data(), tier.count);
}

void ver2_cm::box(cl_mem src, cl_mem dst) {
  const KernelArg qw = KernelArg::i32(geometry_.qw), qh = KernelArg::i32(geometry_.qh);
  set_args_numbered(kernel(kBoxR8X), {mem(src), qw, qh, mem(quarter_[scratch])});
  launch(kBoxR8X, geometry_.box, kBoxFailed);
  set_args_numbered(kernel(kBoxR8Y), {mem(quarter_[scratch]), qw, qh, mem(dst)});
  launch(kBoxR8Y, geometry_.box, kBoxFailed);
}

void ver2_cm::guided_filter(WorkingSet& work, int w, int h) {
  const cmatte::Ver2Geometry& g = geometry_;
  cl_mem* q = quarter_;
  for (auto [src, dst] : {std::pair{work.K, q[Kq]}, std::pair{work.M, q[Mq]}}) {
    set_args_numbered(kernel(kDownSample44), {mem(src), mem(dst)});
    launch(kDownSample44, g.quarter, kDown44Failed);
  }
  box(q[Kq], q[meanK]);
  box(q[Mq], q[meanM]);
  set_args_numbered(kernel(kMul2), {mem(q[Kq]), mem(q[Mq]), mem(q[KK]), mem(q[KM])});
  launch(kMul2, g.quarter, kDotMulFailed);
  box(q[KK], q[meanKK]);
  box(q[KM], q[meanKM]);
  auto mul_sub = [&](cl_mem x, cl_mem y, cl_mem z, cl_mem out) {
    set_args_numbered(kernel(kMulSub), {mem(x), mem(y), mem(z), mem(out)});
    launch(kMulSub, g.quarter, kDotMulFailed);
  };
  mul_sub(q[meanKK], q[meanK], q[meanK], q[varK]);
  mul_sub(q[meanKM], q[meanM], q[meanK], q[covKM]);
  set_args_numbered(kernel(kDiv), {mem(q[covKM]), mem(q[varK]), mem(q[a]), KernelArg::f32(kGuidedEpsilon)});
  launch(kDiv, g.quarter, "Error @exec_NV12_GM_dot_div:%d\n");
  mul_sub(q[meanM], q[a], q[meanK], q[b]);
  box(q[a], q[meanA]);
  box(q[b], q[meanB]);
  for (auto [src, dst] : {std::pair{q[meanB], Gb_}, std::pair{q[meanA], Ga_}}) {
    set_args_numbered(kernel(kUpSample44SpeedUp), {mem(src), mem(dst)});
    launch(kUpSample44SpeedUp, g.upsample, "Error @exec_NV12_GM_upSample22_alpha:%d\n");
  }
  set_args_numbered(kernel(kMulAdd), {mem(Gb_), mem(work.K), mem(Ga_), mem(work.Af)});
  launch(kMulAdd, cmatte::ver2_geometry(w, h).frame, kDotMulFailed);
}

void ver2_cm::matte_from_key(WorkingSet& work, int w, int h) {
  const int t0 = keyHistogramThreshold(work, w, h);
  lastThreshold_ = history_.stabiliseThreshold(t0, coffThres_, keyColor_);
  const Grid frame = cmatte::ver2_geometry(w, h).frame;

  set_args_numbered(kernel(kSegment), {mem(work.K), mem(work.S), mem(work.M),
                                       KernelArg::f32(static_cast<float>(lastThreshold_) / 255.0f)});
  launch(kSegment, frame, "Error @exec_NV12_GM_thres_Segment:%d\n");
  guided_filter(work, w, h);
  const char kSmoothArg[] = "Error (%d) @clSetKernelArg:%d\n";
  gpurt::set_kernel_args(kernel(kGaussBlur),
                         {{mem(work.Af), kSmoothArg, 3025},
                          {KernelArg::i32(w), kSmoothArg, 3028},
                          {KernelArg::i32(h), kSmoothArg, 3031},
                          {mem(work.A8), kSmoothArg, 3034}},
                         ArgStatus::kEach);
  launch(kGaussBlur, frame, "Error @exec_GaussianBlur_Alpha:%d\n");
}

namespace {

// The key-conversion kernel and its flag argument for a key colour code.
struct KeyKernel {
  int kernel;
  bool withFlag;
  int flag;
};

KeyKernel key_kernel(int keyColor, int labA, int labB) {
  if (keyColor == 3) return {labB, false, 0};
  return {labA, true, keyColor == 1 ? 1 : 0};
}

}  // namespace

void ver2_cm::runNV12(int w, int h, const unsigned char* camY, const unsigned char* camUV, const unsigned char* bgY,
                      const unsigned char* bgUV, unsigned char* outY, unsigned char* outUV) {
  if (!dc_.ready) return;
  const void* planes[] = {camY, camUV, bgY, bgUV, outY, outUV};
  if (!gpurt::check_frame("exec_ColorMatting_NV12", w, h, planes, 6)) return;
  prepare_frame(nv12_, w, h, gpurt::createFrameImagesNV12);
  LayoutSet<gpurt::Nv12Images>& s = nv12_;
  gpurt::writeFrameNV12(queue(), s.cam, w, h, camY, camUV, kFrameMessages);
  gpurt::writeFrameNV12(queue(), s.bg, w, h, bgY, bgUV, kFrameMessages);

  const KeyKernel kk = key_kernel(keyColor_, kNv12CalLabA, kNv12CalLabB);
  const KernelArg flag = KernelArg::i32(kk.flag);
  if (kk.withFlag)
    gpurt::set_kernel_args(kernel(kk.kernel),
                           {{mem(s.cam.y), kArg}, {mem(s.cam.uv), kArg}, {mem(linImage_), kArg},
                            {mem(labImage_), kArg}, {flag, kArg}, {mem(s.work.K), kArg}, {mem(s.work.S), kArg}},
                           ArgStatus::kEach);
  else
    gpurt::set_kernel_args(kernel(kk.kernel),
                           {{mem(s.cam.y), kArg}, {mem(s.cam.uv), kArg}, {mem(linImage_), kArg},
                            {mem(labImage_), kArg}, {mem(s.work.K), kArg}, {mem(s.work.S), kArg}},
                           ArgStatus::kEach);
  const cmatte::Ver2Geometry g = cmatte::ver2_geometry(w, h);
  launch(kk.kernel, g.frame, "Error @exec_NV12_GM_cal_LabA:%d\n");

  matte_from_key(s.work, w, h);

  gpurt::set_kernel_args(kernel(kNv12Blend),
                         {{mem(s.cam.y), kArg}, {mem(s.cam.uv), kArg}, {mem(s.work.S), kArg}, {mem(s.bg.y), kArg},
                          {mem(s.bg.uv), kArg}, {mem(s.work.A8), kArg}, {KernelArg::i32(keyColor_), kArg},
                          {mem(s.out.y), kArg}, {mem(s.out.uv), kArg}},
                         ArgStatus::kEach);
  launch(kNv12Blend, g.nv12Blend, kBlendFailed);
  gpurt::readFrameNV12(queue(), s.out, w, h, outY, outUV);
}

void ver2_cm::runYUY2(int w, int h, const unsigned char* cam, const unsigned char* bg, unsigned char* out) {
  if (!dc_.ready) return;
  const void* planes[] = {cam, bg, out};
  if (!gpurt::check_frame("exec_ColorMatting_YUY2", w, h, planes, 3)) return;
  prepare_frame(yuy2_, w, h, gpurt::createFrameImageYUY2);
  LayoutSet<gpurt::Yuy2Images>& s = yuy2_;
  gpurt::writeFrameYUY2(queue(), s.cam, w, h, cam, kFrameMessages);
  gpurt::writeFrameYUY2(queue(), s.bg, w, h, bg, kFrameMessages);

  const KeyKernel kk = key_kernel(keyColor_, kYuy2CalLabA, kYuy2CalLabB);
  if (kk.withFlag)
    gpurt::set_kernel_args(kernel(kk.kernel),
                           {{mem(s.cam.packed), kArg}, {mem(linImage_), kArg}, {mem(labImage_), kArg},
                            {KernelArg::i32(kk.flag), kArg}, {mem(s.work.K), kArg}, {mem(s.work.S), kArg}},
                           ArgStatus::kEach);
  else
    gpurt::set_kernel_args(kernel(kk.kernel),
                           {{mem(s.cam.packed), kArg}, {mem(linImage_), kArg}, {mem(labImage_), kArg},
                            {mem(s.work.K), kArg}, {mem(s.work.S), kArg}},
                           ArgStatus::kEach);
  const cmatte::Ver2Geometry g = cmatte::ver2_geometry(w, h);
  launch(kk.kernel, g.frame, kk.withFlag ? "Error @exec_YUY2_GM_cal_LabA:%d\n" : "Error @exec_YUY2_GM_cal_LabB:%d\n");

  matte_from_key(s.work, w, h);

  gpurt::set_kernel_args(kernel(kYuy2Blend),
                         {{mem(s.cam.packed), kArg}, {mem(s.work.S), kArg}, {mem(s.bg.packed), kArg},
                          {mem(s.work.A8), kArg}, {KernelArg::i32(keyColor_), kArg}, {mem(s.out.packed), kArg}},
                         ArgStatus::kEach);
  launch(kYuy2Blend, g.frame, kBlendFailed);
  gpurt::readFrameYUY2(queue(), s.out, w, h, out);
}

void ver2_cm::runI420(int w, int h, const unsigned char* camY, const unsigned char* camU, const unsigned char* camV,
                      const unsigned char* bgY, const unsigned char* bgU, const unsigned char* bgV,
                      unsigned char* outY, unsigned char* outU, unsigned char* outV) {
  if (!dc_.ready) return;
  const void* planes[] = {camY, camU, camV, bgY, bgU, bgV, outY, outU, outV};
  if (!gpurt::check_frame("exec_ColorMatting_I420", w, h, planes, 9)) return;
  prepare_frame(i420_, w, h, gpurt::createFrameImagesI420);
  LayoutSet<gpurt::I420Images>& s = i420_;
  gpurt::writeFrameI420(queue(), s.cam, w, h, camY, camU, camV, kFrameMessages);
  gpurt::writeFrameI420(queue(), s.bg, w, h, bgY, bgU, bgV, kFrameMessages);

  const KeyKernel kk = key_kernel(keyColor_, kI420CalLabA, kI420CalLabB);
  if (kk.withFlag)
    gpurt::set_kernel_args(kernel(kk.kernel),
                           {{mem(s.cam.y), kArg}, {mem(s.cam.u), kArg}, {mem(s.cam.v), kArg},
                            {mem(linImage_), kArg}, {mem(labImage_), kArg}, {KernelArg::i32(kk.flag), kArg},
                            {mem(s.work.K), kArg}, {mem(s.work.S), kArg}},
                           ArgStatus::kEach);
  else
    gpurt::set_kernel_args(kernel(kk.kernel),
                           {{mem(s.cam.y), kArg}, {mem(s.cam.u), kArg}, {mem(s.cam.v), kArg},
                            {mem(linImage_), kArg}, {mem(labImage_), kArg}, {mem(s.work.K), kArg},
                            {mem(s.work.S), kArg}},
                           ArgStatus::kEach);
  const cmatte::Ver2Geometry g = cmatte::ver2_geometry(w, h);
  launch(kk.kernel, g.frame, kk.withFlag ? "Error @exec_YUY2_GM_cal_LabA:%d\n" : "Error @exec_YUY2_GM_cal_LabB:%d\n");

  matte_from_key(s.work, w, h);

  gpurt::set_kernel_args(kernel(kI420Blend),
                         {{mem(s.cam.y), kArg}, {mem(s.cam.u), kArg}, {mem(s.cam.v), kArg}, {mem(s.work.S), kArg},
                          {mem(s.bg.y), kArg}, {mem(s.bg.u), kArg}, {mem(s.bg.v), kArg}, {mem(s.work.A8), kArg},
                          {KernelArg::i32(keyColor_), kArg}, {mem(s.out.y), kArg}, {mem(s.out.u), kArg},
                          {mem(s.out.v), kArg}},
                         ArgStatus::kEach);
  launch(kI420Blend, g.frame, kBlendFailed);
  gpurt::readFrameI420(queue(), s.out, w, h, outY, outU, outV);
}
