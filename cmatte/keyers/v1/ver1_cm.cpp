#include "keyers/v1/ver1_cm.h"

#include "gpu_runtime/gpu_print.h"
#include "keyers/launch_grid.h"
#include "keyers/working_plane.h"

extern const gpurt::EmbeddedProgram ver1_cm_program;

namespace {

using cmatte::Element;
using cmatte::Grid;
using gpurt::ArgStep;
using gpurt::FrameLayout;
using gpurt::KernelArg;
using gpurt::Pass;

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
const char* const kFrameCreateFailed[] = {"Error 1", "Error 2",
                                          "Error 3"};  // camera, background, output

KernelArg mem(cl_mem m) { return KernelArg::mem(m); }
KernelArg i32(int v) { return KernelArg::i32(v); }

// Texel columns of a plane w pixels wide, four pixels per texel.
std::size_t texels4(int w) { return static_cast<std::size_t>(cmatte::round_up4(w) / 4); }

cl_mem create_hsv_image(cl_context context, int w, int h) {
    const cl_image_format format{CL_RGBA, CL_UNORM_INT8};
    cl_image_desc desc{};
    desc.image_type = CL_MEM_OBJECT_IMAGE2D;
    desc.image_width = static_cast<std::size_t>(w);
    desc.image_height = static_cast<std::size_t>(h);
    cl_int status = CL_INVALID_CONTEXT;
    cl_mem image = context
                       ? clCreateImage(context, CL_MEM_READ_WRITE, &format, &desc, nullptr, &status)
                       : nullptr;
    if (status != CL_SUCCESS) {
        gpurt::gpu_print("Error @clCreateImage(create_CL_Image_HSV_RGBA):%d\n", status);
        return nullptr;
    }
    return image;
}

// What a frame kernel's argument is; the frames stand for all their planes.
enum class Role { kCamera, kBackground, kOutput, kAlpha, kMatte, kKeyColor, kWidth };

// What differs between the two layouts: kernels, argument orders and the
// call-site numbers of their first arguments (later ones count up by 3).
struct FrameLayoutPlan {
    const char* exec;
    ver1_cm::Kernel distance;
    int distanceSite;
    std::vector<Role> distanceArgs;
    ver1_cm::Kernel blend;
    int blendSite;
    std::vector<Role> blendArgs;
    ver1_cm::Kernel subSample;
    const char* subSampleFailed;
    ver1_cm::Kernel stat;
    const char* statFailed;
};

const FrameLayoutPlan& layout_plan(FrameLayout layout) {
    using R = Role;
    static const FrameLayoutPlan kNv12{
        "exec_ColorMatting_NV12",
        ver1_cm::kNv12Distance,
        568,
        {R::kCamera, R::kAlpha, R::kKeyColor},
        ver1_cm::kNv12Blend,
        637,
        {R::kCamera, R::kWidth, R::kBackground, R::kMatte, R::kOutput, R::kKeyColor},
        ver1_cm::kNv12SubSample,
        "Error @exec_NV12_OPT_subsample_toHsv:%d\n",
        ver1_cm::kNv12Stat,
        "Error @exec_NV12_OPT_subsample_toHsv:%d\n"};
    static const FrameLayoutPlan kYuy2{
        "exec_ColorMatting_YUY2",
        ver1_cm::kYuy2Distance,
        685,
        {R::kCamera, R::kAlpha, R::kKeyColor},
        ver1_cm::kYuy2Blend,
        713,
        {R::kCamera, R::kBackground, R::kMatte, R::kOutput, R::kKeyColor},
        ver1_cm::kYuy2SubSample,
        "Error @exec_YUY2_OPT_subsample_toHsv:%d\n",
        ver1_cm::kYuy2Stat,
        "Error @exec_YUY2_OPT_statErrorFuncVal:%d\n"};
    return layout == FrameLayout::kNv12 ? kNv12 : kYuy2;
}

// The handles and values the roles stand for in one launch.
struct RoleValues {
    const gpurt::FrameImages *cam, *bg, *out;
    cl_mem alpha, matte;
    int keyColor, width;
};

// Arguments in role order; with a first call-site number each prints it, else
// each prints the plain text.
std::vector<ArgStep> role_args(const std::vector<Role>& roles, const RoleValues& v, int firstSite) {
    std::vector<ArgStep> steps;
    auto add = [&](KernelArg arg) {
        const int site = firstSite < 0 ? -1 : firstSite + 3 * static_cast<int>(steps.size());
        steps.push_back({arg, site < 0 ? kArg : kSiteArg, site});
    };
    auto add_frame = [&](const gpurt::FrameImages* frame) {
        for (int i = 0; i < frame->plane_count(); ++i) add(mem(frame->plane(i)));
    };
    for (Role role : roles) {
        switch (role) {
            case Role::kCamera:
                add_frame(v.cam);
                break;
            case Role::kBackground:
                add_frame(v.bg);
                break;
            case Role::kOutput:
                add_frame(v.out);
                break;
            case Role::kAlpha:
                add(mem(v.alpha));
                break;
            case Role::kMatte:
                add(mem(v.matte));
                break;
            case Role::kKeyColor:
                add(i32(v.keyColor));
                break;
            case Role::kWidth:
                add(i32(v.width));
                break;
        }
    }
    return steps;
}

// A launch whose arguments could not all be set is not enqueued (a stale or
// missing argument would reach the device).
Pass ver1_pass(int kernel, std::vector<ArgStep> args, Grid grid, const char* failure) {
    Pass pass{kernel, std::move(args), grid.x, grid.y, failure};
    pass.local = gpurt::LocalSize::kCached;
    pass.needsAllArgs = true;
    return pass;
}

Pass smooth_pass(cl_mem alpha, int w, int h, float similar, float smooth, cl_mem matte,
                 int firstSite) {
    const KernelArg args[] = {
        mem(alpha), i32(w), i32(h), KernelArg::f32(similar), KernelArg::f32(smooth), mem(matte)};
    std::vector<ArgStep> steps;
    for (const KernelArg& arg : args) {
        const int site = firstSite < 0 ? -1 : firstSite + 3 * static_cast<int>(steps.size());
        steps.push_back({arg, site < 0 ? kArg : kSiteArg, site});
    }
    return ver1_pass(ver1_cm::kGaussBlur, std::move(steps),
                     {texels4(w), static_cast<std::size_t>(h)}, kSmoothFailed);
}

}  // namespace

ver1_cm::KeyConstants ver1_cm::key_constants(int keyColor) {
    if (keyColor == 1) return {0.2f, 0.1f, 0.3f, 10.0f};
    return {0.4f, 0.35f, 0.5f, 10.0f};
}

ver1_cm::ver1_cm(int gpuPriority) : mDc(kVariant, gpuPriority) {}

int ver1_cm::initOpenCL() {
    setKeyColor(2);
    return mDc.initOpenCL();
}

void ver1_cm::setKeyColor(int code) {
    if (code < 1 || code > 3) return;
    mKeyColor = code;
    const KeyConstants k = key_constants(code);
    mSimilar = k.similar;
    mSimilarLower = k.lower;
    mSimilarUpper = k.upper;
    mSmooth = k.smooth;
}

void ver1_cm::requestSimilarCalibration(void (*callback)(float)) {
    mCalibRequest = 1;
    mCallback = callback;
}

void ver1_cm::prepare_frame(FrameLayout layout, int w, int h) {
    const bool resized = w != mFrameW || h != mFrameH;
    mFrameW = w;
    mFrameH = h;
    // Each layout keeps its own images, so that alternating layouts of one
    // size never meets a missing set.
    const int made = mFrames[static_cast<int>(layout)].ensure(mDc, layout, w, h, kFrameMessages);
    if (made != gpurt::FrameSet<3>::kUnchanged && made < 3)
        gpurt::gpu_print("%s", kFrameCreateFailed[made]);
    if (!resized) return;
    mMatte.reset();
    mAlpha.reset(cmatte::create_working_plane(mDc.context, queue_a(), w, h, Element::kByte));
    if (mAlpha)
        mMatte.reset(cmatte::create_working_plane(mDc.context, queue_a(), w, h, Element::kByte));
    if (!mMatte) gpurt::gpu_print("Error 4");
    mCalib = CalibrationSet{};
    create_calibration_set(w / 2, h / 2);
}

void ver1_cm::create_calibration_set(int w, int h) {
    gpurt::gpu_print("init1:w=%d h=%d\n", w, h);
    CalibrationSet& c = mCalib;
    c.width = w;
    c.height = h;
    // Images cover whole texels and an even number of rows.
    const int iw = cmatte::round_up4(w), ih = (h + 1) / 2 * 2;
    if (c.half.create(mDc, FrameLayout::kNv12, iw, ih, kFrameMessages) != 0) return;
    c.hsv.reset(create_hsv_image(mDc.context, iw, ih));
    if (!c.hsv) return;
    if (c.halfYuy2.create(mDc, FrameLayout::kYuy2, iw, ih, kFrameMessages) != 0) return;
    for (gpurt::MemObject* plane : {&c.alpha, &c.matte, &c.stats}) {
        plane->reset(cmatte::create_working_plane(mDc.context, queue_b(), w, h, Element::kByte));
        if (!*plane) return;
    }
    const std::size_t positions = static_cast<std::size_t>(w) * static_cast<std::size_t>(h);
    c.alphaArray.assign(positions, 0);
    c.statArray.assign(positions, 0);
    gpurt::gpu_print("init2:w=%d h=%d\n", w, h);
}

void ver1_cm::run(FrameLayout layout, int w, int h, const std::uint8_t* const cam[],
                  const std::uint8_t* const bg[], std::uint8_t* const out[]) {
    if (!mDc.ready) return;
    const FrameLayoutPlan& plan = layout_plan(layout);
    if (!gpurt::check_frames(plan.exec, layout, w, h, {cam, bg, out})) return;
    prepare_frame(layout, w, h);
    const gpurt::FrameSet<3>& frames = mFrames[static_cast<int>(layout)];
    const RoleValues values{&frames[0], &frames[1], &frames[2], mAlpha, mMatte, mKeyColor, w};
    const std::size_t tw = static_cast<std::size_t>(w / 4), uh = static_cast<std::size_t>(h);

    gpurt::StepStatuses steps;
    steps.record(frames[0].upload(queue_a(), cam, kFrameMessages));
    steps.record(frames[1].upload(queue_a(), bg, kFrameMessages));
    gpurt::QueueLauncher launcher(mDc, queue_a());
    steps.record(launcher.run(ver1_pass(plan.distance,
                                        role_args(plan.distanceArgs, values, plan.distanceSite),
                                        {tw, uh}, kGetAlphaFailed)));
    steps.record(launcher.run(smooth_pass(mAlpha, w, h, mSimilar, mSmooth, mMatte, 599)));
    steps.record(
        launcher.run(ver1_pass(plan.blend, role_args(plan.blendArgs, values, plan.blendSite),
                               {tw, uh / 2}, kBlendFailed)));
    if (steps.combined() != CL_SUCCESS) gpurt::gpu_print("Error @clFinish:%d\n", steps.combined());

    if (layout == FrameLayout::kNv12) {
        frames[2].read_plane(queue_a(), 0, out[0]);
        const cl_int read = frames[2].read_plane(queue_a(), 1, out[1]);
        if ((steps.combined() | read) != CL_SUCCESS)
            gpurt::gpu_print(kReadFailed, steps.combined() | read);
    } else {
        frames[2].read_plane(queue_a(), 0, out[0]);
        const cl_int finished = queue_a() ? clFinish(queue_a()) : CL_INVALID_COMMAND_QUEUE;
        if (finished != CL_SUCCESS) gpurt::gpu_print(kReadFailed, finished);
    }

    if (mCalibRequest) calibrate(layout, w, h);
}

void ver1_cm::runNV12(int w, int h, const unsigned char* camY, const unsigned char* camUV,
                      const unsigned char* bgY, const unsigned char* bgUV, unsigned char* outY,
                      unsigned char* outUV) {
    const std::uint8_t* const cam[] = {camY, camUV};
    const std::uint8_t* const bg[] = {bgY, bgUV};
    std::uint8_t* const out[] = {outY, outUV};
    run(FrameLayout::kNv12, w, h, cam, bg, out);
}

void ver1_cm::runYUY2(int w, int h, const unsigned char* cam, const unsigned char* bg,
                      unsigned char* out) {
    const std::uint8_t* const camPlanes[] = {cam};
    const std::uint8_t* const bgPlanes[] = {bg};
    std::uint8_t* const outPlanes[] = {out};
    run(FrameLayout::kYuy2, w, h, camPlanes, bgPlanes, outPlanes);
}

void ver1_cm::evaluateSimilarity(float similar, float smooth, float e[5]) {
    CalibrationSet& c = mCalib;
    const FrameLayoutPlan& plan =
        layout_plan(mCalibLayout == kNv12 ? FrameLayout::kNv12 : FrameLayout::kYuy2);
    const gpurt::FrameImages& half = mCalibLayout == kNv12 ? c.half : c.halfYuy2;
    const Grid grid{texels4(c.width), static_cast<std::size_t>(c.height)};
    const RoleValues values{&half, nullptr, nullptr, c.alpha, c.matte, mKeyColor, c.width};
    gpurt::QueueLauncher launcher(mDc, queue_b());
    launcher.run(
        ver1_pass(plan.distance, role_args(plan.distanceArgs, values, -1), grid, kGetAlphaFailed));
    launcher.run(smooth_pass(c.alpha, c.width, c.height, similar, smooth, c.matte, -1));
    std::vector<ArgStep> statArgs;
    for (int i = 0; i < half.plane_count(); ++i) statArgs.push_back({mem(half.plane(i)), kArg});
    for (cl_mem m : {c.hsv.get(), c.matte.get(), c.stats.get()}) statArgs.push_back({mem(m), kArg});
    statArgs.push_back({i32(mKeyColor), kArg});
    launcher.run(ver1_pass(plan.stat, std::move(statArgs), grid, plan.statFailed));
    const std::size_t positions = c.alphaArray.size();
    if (positions > 0) {
        const cmatte::PlaneShape shape = cmatte::plane_shape(c.width, c.height, Element::kByte);
        for (auto [plane, array] : {std::pair{c.stats.get(), c.statArray.data()},
                                    std::pair{c.matte.get(), c.alphaArray.data()}}) {
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
    gpurt::gpu_print("threadFunc: similar=%f, smooth=%f, err=%f,%f,%f,%f  err5=%f\n", similar,
                     smooth, e[0], e[1], e[2], e[3], e[4]);
}

void ver1_cm::calibrate(FrameLayout layout, int w, int h) {
    mCalibRequest = 0;
    mCalibLayout = layout == FrameLayout::kNv12 ? kNv12 : kYuy2;
    CalibrationSet& c = mCalib;
    const FrameLayoutPlan& plan = layout_plan(layout);
    const gpurt::FrameImages& cam = mFrames[static_cast<int>(layout)][0];
    const gpurt::FrameImages& half = layout == FrameLayout::kNv12 ? c.half : c.halfYuy2;
    std::vector<ArgStep> args;
    for (const gpurt::FrameImages* frame : {&cam, &half})
        for (int i = 0; i < frame->plane_count(); ++i) args.push_back({mem(frame->plane(i)), kArg});
    args.push_back({mem(c.hsv), kArg});
    // NV12 items cover two rows of the half frame, YUY2 items one.
    const std::size_t rows =
        static_cast<std::size_t>(layout == FrameLayout::kNv12 ? (h / 2 + 1) / 2 : h / 2);
    const cl_int status = gpurt::QueueLauncher(mDc, queue_b())
                              .run(ver1_pass(plan.subSample, std::move(args),
                                             {texels4(w / 2), rows}, plan.subSampleFailed));
    if (status != CL_SUCCESS) return;
    const KeyConstants k = key_constants(mKeyColor);
    mSimilar = k.similar;
    mSimilarLower = k.lower;
    mSimilarUpper = k.upper;
    mSmooth = k.smooth;
    const cmatte::SimilarResult best =
        cmatte::searchSimilar(mSimilar, mSimilarLower, mSimilarUpper, c.alphaArray.data(),
                              c.statArray.data(), mKeyColor, c.width, c.height, this);
    gpurt::gpu_print("==>> serach_Similar=%f\n", best.similar);
    mCalibratedSimilar = best.similar;
    if (mCallback) mCallback(best.similar);
    mSimilar = best.similar;
}
