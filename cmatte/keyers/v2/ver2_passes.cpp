#include "keyers/v2/ver2_passes.h"

#include <initializer_list>

#include "keyers/v2/ver2_kernels.h"

namespace cmatte {
namespace {

using gpurt::ArgStep;
using gpurt::FrameLayout;
using gpurt::KernelArg;
using gpurt::Pass;

const char kArg[] = "Error @clSetKernelArg:%d\n";
const char* const kArgAt[] = {"Error @clSetKernelArg0:%d\n", "Error @clSetKernelArg1:%d\n",
                              "Error @clSetKernelArg2:%d\n", "Error @clSetKernelArg3:%d\n",
                              "Error @clSetKernelArg4:%d\n"};
const char kHistArgFirst[] = "Error @clSetKernelArg1:%d\n";
const char kHistArgLater[] = "Error @clSetKernelArg2:%d\n";
const char kSmoothArg[] = "Error (%d) @clSetKernelArg:%d\n";
const char kDotMulFailed[] = "Error @exec_NV12_GM_dot_mul:%d\n";
const char kBoxFailed[] = "Error @exec_NV12_GM_dot_add:%d\n";
const char kDown44Failed[] = "Error @exec_NV12_GM_downSample44_LabA:%d\n";
constexpr float kGuidedEpsilon = 2.7450978e-6f;

// What differs between the layouts, in FrameLayout order.
struct KeyLayout {
    const char* exec;
    int Ver2Kernels::*labA;
    int Ver2Kernels::*labB;
    int Ver2Kernels::*blend;
    int Ver2Kernels::*backdropSums;
    int Ver2Kernels::*refinedBlend;
    const char* labAFailed;
    const char* labBFailed;
};
const KeyLayout kKeyLayouts[] = {
    {"exec_ColorMatting_NV12", &Ver2Kernels::nv12CalLabA, &Ver2Kernels::nv12CalLabB,
     &Ver2Kernels::nv12Blend, &Ver2Kernels::nv12BackdropSums, &Ver2Kernels::nv12RefinedBlend,
     "Error @exec_NV12_GM_cal_LabA:%d\n", "Error @exec_NV12_GM_cal_LabA:%d\n"},
    {"exec_ColorMatting_I420", &Ver2Kernels::i420CalLabA, &Ver2Kernels::i420CalLabB,
     &Ver2Kernels::i420Blend, &Ver2Kernels::i420BackdropSums, &Ver2Kernels::i420RefinedBlend,
     "Error @exec_YUY2_GM_cal_LabA:%d\n", "Error @exec_YUY2_GM_cal_LabB:%d\n"},
    {"exec_ColorMatting_YUY2", &Ver2Kernels::yuy2CalLabA, &Ver2Kernels::yuy2CalLabB,
     &Ver2Kernels::yuy2Blend, &Ver2Kernels::yuy2BackdropSums, &Ver2Kernels::yuy2RefinedBlend,
     "Error @exec_YUY2_GM_cal_LabA:%d\n", "Error @exec_YUY2_GM_cal_LabB:%d\n"},
};

const KeyLayout& key_layout(FrameLayout layout) { return kKeyLayouts[static_cast<int>(layout)]; }

const Ver2Kernels& kernels() { return ver2_kernels(); }

KernelArg mem(cl_mem m) { return KernelArg::mem(m); }

// Arguments that print "Error @clSetKernelArg<position>".
std::vector<ArgStep> numbered(std::initializer_list<KernelArg> args) {
    std::vector<ArgStep> steps;
    for (const KernelArg& arg : args) steps.push_back({arg, kArgAt[steps.size()]});
    return steps;
}

// Arguments that all print "Error @clSetKernelArg".
void add_plain(std::vector<ArgStep>& steps, KernelArg arg) { steps.push_back({arg, kArg}); }
void add_frame(std::vector<ArgStep>& steps, const gpurt::FrameImages& frame) {
    for (int i = 0; i < frame.plane_count(); ++i) add_plain(steps, mem(frame.kernel_plane(i)));
}

Pass pass(int kernel, std::vector<ArgStep> args, Grid grid, const char* failure) {
    return {kernel, std::move(args), grid.x, grid.y, failure};
}

}  // namespace

const char* ver2_exec_name(FrameLayout layout) { return key_layout(layout).exec; }

Pass key_pass(const gpurt::FrameImages& cam, cl_mem linearisation, cl_mem lab, int keyColor,
              const KeyPlanes& planes, const Ver2Geometry& g) {
    const KeyLayout& layout = key_layout(cam.layout());
    const bool labB = keyColor == 3;
    std::vector<ArgStep> args;
    add_frame(args, cam);
    add_plain(args, mem(linearisation));
    add_plain(args, mem(lab));
    if (!labB) add_plain(args, KernelArg::i32(keyColor == 1 ? 1 : 0));
    add_plain(args, mem(planes.K));
    add_plain(args, mem(planes.S));
    return pass(kernels().*(labB ? layout.labB : layout.labA), std::move(args), g.frame,
                labB ? layout.labBFailed : layout.labAFailed);
}

std::vector<Pass> histogram_passes(const HistogramTier& tier, cl_mem K, cl_mem half, cl_mem quarter,
                                   cl_mem rows, cl_mem total) {
    std::vector<Pass> passes;
    cl_mem source = K;
    if (tier.source != HistogramTier::kKey) {
        const bool fromHalf = tier.source == HistogramTier::kHalfKey;
        source = fromHalf ? half : quarter;
        // The grid covers every destination pixel that the histogram counts.
        passes.push_back(pass(
            fromHalf ? kernels().downSample22 : kernels().downSample44,
            numbered({mem(K), mem(source)}),
            {static_cast<std::size_t>((tier.width + 3) / 4), static_cast<std::size_t>(tier.rows)},
            fromHalf ? "Error @exec_NV12_GM_downSample22_LabA:%d\n" : kDown44Failed));
    }
    passes.push_back(pass(kernels().statHist,
                          {{mem(source), kHistArgFirst},
                           {mem(rows), kHistArgLater},
                           {KernelArg::i32(tier.width), kHistArgLater}},
                          {1, static_cast<std::size_t>(tier.rows)}, "Error @exec_stat_HistQ:%d\n"));
    passes.push_back(pass(kernels().accmHist,
                          {{mem(rows), kHistArgFirst},
                           {mem(total), kHistArgLater},
                           {KernelArg::i32(256), kHistArgLater},
                           {KernelArg::i32(tier.rows), kHistArgLater}},
                          {256, 1}, "Error @exec_accm_HistQ:%d\n"));
    return passes;
}

std::vector<Pass> matte_passes(const KeyPlanes& planes, const GuidePlanes& guide,
                               const Ver2Geometry& g, int w, int h, int threshold,
                               const MatteRefine& refine) {
    const std::array<cl_mem, Quarter::kCount>& q = guide.quarter;
    std::vector<Pass> passes;
    const KernelArg t = KernelArg::f32(static_cast<float>(threshold) / 255.0f);
    const KernelArg clear =
        KernelArg::f32((static_cast<float>(refine.clearThreshold) - 0.5f) / 255.0f);
    if (refine.clearThreshold > threshold)
        passes.push_back(pass(kernels().segmentKeep,
                              numbered({mem(planes.K), mem(planes.S), mem(planes.M), t, clear}),
                              g.frame, "Error @exec_NV12_GM_thres_Segment:%d\n"));
    else
        passes.push_back(pass(kernels().segment,
                              numbered({mem(planes.K), mem(planes.S), mem(planes.M), t}), g.frame,
                              "Error @exec_NV12_GM_thres_Segment:%d\n"));

    // Guided filter with K as guide and M as input, result in Af.
    const KernelArg qw = KernelArg::i32(g.qw), qh = KernelArg::i32(g.qh);
    auto box = [&](cl_mem src, cl_mem dst) {
        passes.push_back(pass(kernels().boxR8X,
                              numbered({mem(src), qw, qh, mem(q[Quarter::scratch])}), g.box,
                              kBoxFailed));
        passes.push_back(pass(kernels().boxR8Y,
                              numbered({mem(q[Quarter::scratch]), qw, qh, mem(dst)}), g.box,
                              kBoxFailed));
    };
    auto mul_sub = [&](cl_mem x, cl_mem y, cl_mem z, cl_mem out) {
        passes.push_back(pass(kernels().mulSub, numbered({mem(x), mem(y), mem(z), mem(out)}),
                              g.quarter, kDotMulFailed));
    };
    passes.push_back(pass(kernels().downSample44, numbered({mem(planes.K), mem(q[Quarter::Kq])}),
                          g.quarter, kDown44Failed));
    passes.push_back(pass(kernels().downSample44, numbered({mem(planes.M), mem(q[Quarter::Mq])}),
                          g.quarter, kDown44Failed));
    box(q[Quarter::Kq], q[Quarter::meanK]);
    box(q[Quarter::Mq], q[Quarter::meanM]);
    passes.push_back(pass(kernels().mul2,
                          numbered({mem(q[Quarter::Kq]), mem(q[Quarter::Mq]), mem(q[Quarter::KK]),
                                    mem(q[Quarter::KM])}),
                          g.quarter, kDotMulFailed));
    box(q[Quarter::KK], q[Quarter::meanKK]);
    box(q[Quarter::KM], q[Quarter::meanKM]);
    mul_sub(q[Quarter::meanKK], q[Quarter::meanK], q[Quarter::meanK], q[Quarter::varK]);
    mul_sub(q[Quarter::meanKM], q[Quarter::meanM], q[Quarter::meanK], q[Quarter::covKM]);
    passes.push_back(pass(kernels().div,
                          numbered({mem(q[Quarter::covKM]), mem(q[Quarter::varK]),
                                    mem(q[Quarter::a]), KernelArg::f32(kGuidedEpsilon)}),
                          g.quarter, "Error @exec_NV12_GM_dot_div:%d\n"));
    mul_sub(q[Quarter::meanM], q[Quarter::a], q[Quarter::meanK], q[Quarter::b]);
    box(q[Quarter::a], q[Quarter::meanA]);
    box(q[Quarter::b], q[Quarter::meanB]);
    for (auto [src, dst] :
         {std::pair{q[Quarter::meanB], guide.Gb}, std::pair{q[Quarter::meanA], guide.Ga}})
        passes.push_back(pass(kernels().upSample44SpeedUp, numbered({mem(src), mem(dst)}),
                              g.upsample, "Error @exec_NV12_GM_upSample22_alpha:%d\n"));
    passes.push_back(pass(kernels().mulAdd,
                          numbered({mem(guide.Gb), mem(planes.K), mem(guide.Ga), mem(planes.Af)}),
                          g.frame, kDotMulFailed));

    if (refine.clearThreshold > threshold)
        passes.push_back(pass(kernels().matteTrimap,
                              numbered({mem(planes.Af), mem(planes.M), mem(planes.K), clear}),
                              g.frame, "Error @exec_matte_trimap:%d\n"));
    if (refine.adjust) {
        std::vector<ArgStep> args;
        add_plain(args, mem(planes.Af));
        add_plain(args, KernelArg::f32(refine.clipBlack));
        add_plain(args, KernelArg::f32(refine.clipWhite));
        for (const FrameRect& r : {refine.garbage, refine.holdout})
            for (int v : {r.x, r.y, r.empty() ? 0 : r.w, r.h}) add_plain(args, KernelArg::i32(v));
        passes.push_back(
            pass(kernels().matteAdjust, std::move(args), g.frame, "Error @exec_matte_adjust:%d\n"));
    }
    passes.push_back(pass(kernels().gaussBlur,
                          {{mem(planes.Af), kSmoothArg, 3025},
                           {KernelArg::i32(w), kSmoothArg, 3028},
                           {KernelArg::i32(h), kSmoothArg, 3031},
                           {mem(planes.A8), kSmoothArg, 3034}},
                          g.frame, "Error @exec_GaussianBlur_Alpha:%d\n"));
    return passes;
}

Pass blend_pass(const gpurt::FrameImages& cam, const gpurt::FrameImages& bg,
                const gpurt::FrameImages& out, const KeyPlanes& planes, int keyColor,
                const Ver2Geometry& g) {
    std::vector<ArgStep> args;
    add_frame(args, cam);
    add_plain(args, mem(planes.S));
    add_frame(args, bg);
    add_plain(args, mem(planes.A8));
    add_plain(args, KernelArg::i32(keyColor));
    add_frame(args, out);
    const bool nv12 = cam.layout() == FrameLayout::kNv12;
    return pass(kernels().*key_layout(cam.layout()).blend, std::move(args),
                nv12 ? g.nv12Blend : g.frame, "Error @exec_NV12_GM_ForebackBlend:%d\n");
}

std::vector<Pass> refined_blend_passes(const gpurt::FrameImages& cam, const gpurt::FrameImages& bg,
                                       const gpurt::FrameImages& out, const KeyPlanes& planes,
                                       const BlendRefinePlanes& refinePlanes,
                                       const Refinements& refine, int keyColor,
                                       const Ver2Geometry& g, int w, int h) {
    const KeyLayout& layout = key_layout(cam.layout());
    std::vector<Pass> passes;
    std::array<cl_mem, 4> backdrop{planes.A8, planes.A8, planes.A8, planes.A8};  // unread unmixed
    if (refine.unmix) {
        backdrop = refinePlanes.backdrop;
        std::vector<ArgStep> args;
        add_frame(args, cam);
        add_plain(args, mem(planes.A8));
        add_plain(args, mem(refinePlanes.segmentQuarter));
        add_plain(args, KernelArg::i32(w));
        add_plain(args, KernelArg::i32(h));
        for (cl_mem plane : backdrop) add_plain(args, mem(plane));
        passes.push_back(pass(kernels().*layout.backdropSums, std::move(args), g.quarter,
                              "Error @exec_backdrop_sums:%d\n"));
        // Box means of the sums over 17 x 17 quarter pixels: their ratio is the
        // mean backdrop colour around each quarter pixel.
        const KernelArg qw = KernelArg::i32(g.qw), qh = KernelArg::i32(g.qh);
        for (cl_mem plane : backdrop) {
            passes.push_back(pass(kernels().boxR8X,
                                  numbered({mem(plane), qw, qh, mem(refinePlanes.quarterScratch)}),
                                  g.box, kBoxFailed));
            passes.push_back(pass(kernels().boxR8Y,
                                  numbered({mem(refinePlanes.quarterScratch), qw, qh, mem(plane)}),
                                  g.box, kBoxFailed));
        }
    }
    cl_mem near = planes.A8;
    if (refine.spillRange > 0) {
        near = refinePlanes.near;
        const KernelArg radius = KernelArg::i32(refine.spillRange);
        // The segmentation mask is free once the matte is made.
        passes.push_back(pass(kernels().boxX, numbered({mem(planes.A8), mem(planes.M), radius}),
                              g.frame, kBoxFailed));
        passes.push_back(pass(kernels().boxY, numbered({mem(planes.M), mem(near), radius}), g.frame,
                              kBoxFailed));
    }
    std::vector<ArgStep> args;
    add_frame(args, cam);
    add_frame(args, bg);
    add_plain(args, mem(planes.A8));
    add_plain(args, mem(near));
    for (cl_mem plane : backdrop) add_plain(args, mem(plane));
    add_plain(args, KernelArg::i32(keyColor));
    add_plain(args, KernelArg::f32(refine.spillStrength));
    add_plain(args, KernelArg::i32(refine.unmix ? 1 : 0));
    add_frame(args, out);
    const bool nv12 = cam.layout() == FrameLayout::kNv12;
    passes.push_back(pass(kernels().*layout.refinedBlend, std::move(args),
                          nv12 ? g.nv12Blend : g.frame, "Error @exec_NV12_GM_ForebackBlend:%d\n"));
    return passes;
}

}  // namespace cmatte
