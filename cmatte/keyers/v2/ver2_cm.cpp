#include "keyers/v2/ver2_cm.h"

#include <cmath>

#include "gpu_runtime/frame_pass.h"
#include "gpu_runtime/gpu_print.h"
#include "keyers/v2/ver2_kernels.h"
#include "keyers/working_plane.h"

extern const gpurt::EmbeddedProgram ver2_cm_program;

namespace {

using cmatte::Element;
using gpurt::FrameLayout;

const gpurt::ContextVariant kVariant{
    {"Intel(R) OpenCL HD Graphics", "Intel(R) OpenCL Graphics"},
    gpurt::QueueApi::kLegacy,
    1,
    "Error @clBuildProgram-cl-2.1:%d\n",
    cmatte::ver2_kernel_list(),
    64,
    ver2_cm_program,
};

const gpurt::FrameMessages& kFrameMessages = gpurt::standard_frame_messages();

const char kReadFailed[] = "Error @clEnqueueReadImage:%d\n";

cl_mem create_table_image(cl_context context) {
    const cl_image_format format{CL_R, CL_FLOAT};
    cl_image_desc desc{};
    desc.image_type = CL_MEM_OBJECT_IMAGE2D;
    desc.image_width = ver2_cm::kTableSize;
    desc.image_height = 1;
    cl_int status = CL_INVALID_CONTEXT;
    cl_mem image = context
                       ? clCreateImage(context, CL_MEM_READ_ONLY, &format, &desc, nullptr, &status)
                       : nullptr;
    if (status != CL_SUCCESS) {
        gpurt::gpu_print("Error @clCreateImage(1D):%d\n", status);
        return nullptr;
    }
    return image;
}

}  // namespace

ver2_cm::ver2_cm(int gpuPriority) : mDc(kVariant, gpuPriority) {}

int ver2_cm::initOpenCL() {
    mCoffThres = 1.0f;
    mFrameW = mFrameH = 0;
    mHistory.resetThresholdHistory();
    const int status = mDc.initOpenCL();
    if (status == -1) return status;

    // The sRGB decoding curve and the L*a*b* companding function at i / 512.
    for (int i = 0; i < kTableSize; ++i) {
        const float x = static_cast<float>(i) * 0.001953125f;
        mLinearisation[i] =
            x <= 0.04045f ? x * 0.07739938f : std::pow((x + 0.055f) * 0.94786733f, 2.4f);
        mLab[i] = x > 0.008856f ? std::pow(x, 0.33333334f) : 7.787f * x + 0.13793103f;
    }
    mLinImage.reset(create_table_image(mDc.context));
    if (mLinImage) mLabImage.reset(create_table_image(mDc.context));
    if (!mLabImage) {
        mDc.ready = 0;
        return -1;
    }
    cl_int upload = CL_SUCCESS;
    for (auto [image, table] :
         {std::pair{mLinImage.get(), mLinearisation}, std::pair{mLabImage.get(), mLab}}) {
        const std::size_t origin[3] = {0, 0, 0}, region[3] = {kTableSize, 1, 1};
        upload = queue() ? clEnqueueWriteImage(queue(), image, CL_TRUE, origin, region, 0, 0, table,
                                               0, nullptr, nullptr)
                         : CL_INVALID_COMMAND_QUEUE;
        if (upload != CL_SUCCESS) gpurt::gpu_print("Error @clEnqueueWriteImage(1Y):%d\n", upload);
    }
    const int final = status + upload;
    mDc.ready = final == 0 ? 1 : 0;
    return final;
}

void ver2_cm::create_quarter_planes(const cmatte::Ver2Geometry& g) {
    for (gpurt::MemObject& plane : mQuarter) {
        plane.reset(
            cmatte::create_working_plane(mDc.context, queue(), g.qw, g.qh, Element::kFloat));
        if (!plane) return;
    }
    for (gpurt::MemObject& plane : mBackdrop) {
        plane.reset(
            cmatte::create_working_plane(mDc.context, queue(), g.qw, g.qh, Element::kFloat));
        if (!plane) return;
    }
    Ga_.reset(
        cmatte::create_working_plane(mDc.context, queue(), g.fullW, g.fullH, Element::kFloat));
    if (Ga_)
        Gb_.reset(
            cmatte::create_working_plane(mDc.context, queue(), g.fullW, g.fullH, Element::kFloat));
}

void ver2_cm::create_working_set(WorkingSet& work, int w, int h) {
    const struct {
        gpurt::MemObject* plane;
        int w, h;
        Element element;
    } planes[] = {{&work.Af, w, h, Element::kFloat},
                  {&work.K, w, h, Element::kByte},
                  {&work.A8, w, h, Element::kByte},
                  {&work.S, w, h, Element::kByte},
                  {&work.M, w, h, Element::kByte},
                  {&work.near, w, h, Element::kByte},
                  {&work.half, (w + 1) / 2, (h + 1) / 2, Element::kByte},
                  {&work.quarter, (w + 3) / 4, (h + 3) / 4, Element::kByte}};
    for (const auto& p : planes) {
        p.plane->reset(cmatte::create_working_plane(mDc.context, queue(), p.w, p.h, p.element));
        if (!*p.plane) return;
    }
}

void ver2_cm::prepare_frame(FrameLayout layout, int w, int h) {
    if (w != mFrameW || h != mFrameH) {
        const bool resized = mFrameW != 0 || mFrameH != 0;
        mFrameW = w;
        mFrameH = h;
        Gb_.reset();
        Ga_.reset();
        for (int i = 3; i >= 0; --i) mBackdrop[i].reset();
        for (int i = cmatte::Quarter::kCount - 1; i >= 0; --i) mQuarter[i].reset();
        mGeometry = cmatte::ver2_geometry(w, h);
        create_quarter_planes(mGeometry);
        if (resized) mHistory.resetThresholdHistory();
    }
    LayoutSet& set = mLayouts[static_cast<int>(layout)];
    const int made =
        set.frames.ensure(mDc, layout, w, h, kFrameMessages, gpurt::FrameAccess::kKernelBuffers);
    if (made == gpurt::FrameSet<3>::kUnchanged) return;
    set.work = WorkingSet{};
    if (made == 3) create_working_set(set.work, w, h);
}

int ver2_cm::keyHistogramThreshold(gpurt::Launcher& launcher, WorkingSet& work, int w, int h) {
    const cmatte::HistogramTier tier = cmatte::histogram_tier(w, h);
    for (auto [buffer, words] :
         {std::pair{&work.histRows, 256 * tier.rows}, std::pair{&work.histTotal, 256}}) {
        if (*buffer) continue;
        cl_int created = CL_INVALID_CONTEXT;
        cl_mem made = nullptr;
        if (mDc.context)
            made = clCreateBuffer(mDc.context, CL_MEM_READ_WRITE, sizeof(cl_uint) * words, nullptr,
                                  &created);
        if (created != CL_SUCCESS) {
            gpurt::gpu_print("Error @clCreateBuffer(histQ):%d\n", created);
            made = nullptr;
        }
        buffer->reset(made);
    }
    gpurt::StepStatuses statuses;
    statuses.record(
        gpurt::run_passes(launcher, cmatte::histogram_passes(tier, work.K, work.half, work.quarter,
                                                             work.histRows, work.histTotal)));
    cl_int read = CL_INVALID_MEM_OBJECT;
    if (work.histTotal && queue())
        read = clEnqueueReadBuffer(queue(), work.histTotal, CL_TRUE, 0, sizeof(cl_uint) * 256,
                                   mHistogram.data(), 0, nullptr, nullptr);
    statuses.record(read);
    if (statuses.combined() != CL_SUCCESS) {
        gpurt::gpu_print(kReadFailed, statuses.combined());
        return 0;
    }
    return cmatte::otsu_threshold(mHistogram.data(), tier.count);
}

void ver2_cm::run(FrameLayout layout, int w, int h, const std::uint8_t* const cam[],
                  const std::uint8_t* const bg[], std::uint8_t* const out[]) {
    if (!mDc.ready) return;
    const int planes = gpurt::plane_count(layout);
    if (!gpurt::check_frames(cmatte::ver2_exec_name(layout), layout, w, h, {cam, bg, out})) return;
    prepare_frame(layout, w, h);
    LayoutSet& set = mLayouts[static_cast<int>(layout)];
    const gpurt::FrameImages &camImages = set.frames[0], &bgImages = set.frames[1],
                             &outImages = set.frames[2];
    WorkingSet& work = set.work;
    const cmatte::KeyPlanes keyPlanes{work.K, work.S, work.M, work.A8, work.Af};
    cmatte::GuidePlanes guide{{}, Ga_, Gb_};
    for (int i = 0; i < cmatte::Quarter::kCount; ++i) guide.quarter[i] = mQuarter[i];

    camImages.upload(queue(), cam, kFrameMessages);
    bgImages.upload(queue(), bg, kFrameMessages);
    gpurt::QueueLauncher launcher(mDc, queue());
    launcher.run(
        cmatte::key_pass(camImages, mLinImage, mLabImage, mKeyColor, keyPlanes, mGeometry));
    const int t0 = keyHistogramThreshold(launcher, work, w, h);
    mLastThreshold = mHistory.stabiliseThreshold(t0, mCoffThres, mKeyColor);
    cmatte::MatteRefine matteRefine;
    mLastClear =
        mRefine.detailKeep ? cmatte::backdrop_lower_edge(mHistogram.data(), mLastThreshold) : 0;
    matteRefine.clearThreshold = mLastClear;
    matteRefine.adjust = mRefine.changes_matte();
    matteRefine.clipBlack = mRefine.clipBlack;
    matteRefine.clipWhite = mRefine.clipWhite;
    matteRefine.garbage = mRefine.garbage;
    matteRefine.holdout = mRefine.holdout;
    gpurt::run_passes(launcher, cmatte::matte_passes(keyPlanes, guide, mGeometry, w, h,
                                                     mLastThreshold, matteRefine));
    if (mRefine.changes_blend()) {
        const cmatte::BlendRefinePlanes refinePlanes{
            work.near,
            {mBackdrop[0], mBackdrop[1], mBackdrop[2], mBackdrop[3]},
            mQuarter[cmatte::Quarter::scratch],
            mQuarter[cmatte::Quarter::Mq]};
        gpurt::run_passes(launcher, cmatte::refined_blend_passes(camImages, bgImages, outImages,
                                                                 keyPlanes, refinePlanes, mRefine,
                                                                 mKeyColor, mGeometry, w, h));
    } else {
        launcher.run(
            cmatte::blend_pass(camImages, bgImages, outImages, keyPlanes, mKeyColor, mGeometry));
    }

    // I420 reports the reads so far after its chroma reads.
    gpurt::StepStatuses reads;
    for (int i = 0; i < planes; ++i) {
        reads.record(outImages.read_plane(queue(), i, out[i]));
        if (layout == FrameLayout::kI420 && i > 0 && reads.combined() != CL_SUCCESS)
            gpurt::gpu_print(kReadFailed, reads.combined());
    }
}

void ver2_cm::runNV12(int w, int h, const unsigned char* camY, const unsigned char* camUV,
                      const unsigned char* bgY, const unsigned char* bgUV, unsigned char* outY,
                      unsigned char* outUV) {
    const std::uint8_t* const cam[] = {camY, camUV};
    const std::uint8_t* const bg[] = {bgY, bgUV};
    std::uint8_t* const out[] = {outY, outUV};
    run(FrameLayout::kNv12, w, h, cam, bg, out);
}

void ver2_cm::runYUY2(int w, int h, const unsigned char* cam, const unsigned char* bg,
                      unsigned char* out) {
    const std::uint8_t* const camPlanes[] = {cam};
    const std::uint8_t* const bgPlanes[] = {bg};
    std::uint8_t* const outPlanes[] = {out};
    run(FrameLayout::kYuy2, w, h, camPlanes, bgPlanes, outPlanes);
}

void ver2_cm::runI420(int w, int h, const unsigned char* camY, const unsigned char* camU,
                      const unsigned char* camV, const unsigned char* bgY, const unsigned char* bgU,
                      const unsigned char* bgV, unsigned char* outY, unsigned char* outU,
                      unsigned char* outV) {
    const std::uint8_t* const cam[] = {camY, camU, camV};
    const std::uint8_t* const bg[] = {bgY, bgU, bgV};
    std::uint8_t* const out[] = {outY, outU, outV};
    run(FrameLayout::kI420, w, h, cam, bg, out);
}
