// The kernel launches of one version-2 frame, as data: which kernel runs with
// which arguments on which grid, and what each failure prints. Building the
// passes touches no device, so the plan of a frame can be checked anywhere.
#pragma once

#include <array>
#include <vector>

#include "gpu_runtime/frame_images.h"
#include "gpu_runtime/frame_pass.h"
#include "keyers/refinements.h"
#include "keyers/v2/key_threshold.h"
#include "keyers/v2/ver2_geometry.h"

namespace cmatte {

// Planes of the guided filter at quarter size.
struct Quarter {
    enum Plane {
        Kq,
        Mq,
        KK,
        KM,
        meanK,
        meanM,
        meanKK,
        meanKM,
        varK,
        covKM,
        a,
        b,
        meanA,
        meanB,
        scratch,
        kCount
    };
};

// Frame-size planes a frame's passes read and write (borrowed handles).
struct KeyPlanes {
    cl_mem K, S, M, A8, Af;
};
struct GuidePlanes {
    std::array<cl_mem, Quarter::kCount> quarter;
    cl_mem Ga, Gb;
};

// The frame-check call name of a layout's exec operation.
const char* ver2_exec_name(gpurt::FrameLayout layout);

// Key conversion: the layout's cal_LabB kernel for key colour 3, else its
// cal_LabA kernel with a flag that is 1 for key colour 1.
gpurt::Pass key_pass(const gpurt::FrameImages& cam, cl_mem linearisation, cl_mem lab, int keyColor,
                     const KeyPlanes& planes, const Ver2Geometry& g);

// The histogram of K for the tier: the reduction the tier needs, the per-row
// counts and their sum into 256 totals.
std::vector<gpurt::Pass> histogram_passes(const HistogramTier& tier, cl_mem K, cl_mem half,
                                          cl_mem quarter, cl_mem rows, cl_mem total);

// What the refinements change in the matte passes; the default changes nothing.
struct MatteRefine {
    int clearThreshold = 0;  // detail keep above the threshold: the backdrop peak's lower edge
    bool adjust = false;     // levels and rectangles
    float clipBlack = 0.0f, clipWhite = 1.0f;
    FrameRect garbage, holdout;
};

// From the threshold to the 8-bit matte: segmentation, the guided filter at
// quarter size, levels and rectangles when asked, smoothing.
std::vector<gpurt::Pass> matte_passes(const KeyPlanes& planes, const GuidePlanes& guide,
                                      const Ver2Geometry& g, int w, int h, int threshold,
                                      const MatteRefine& refine = {});

// Planes of the refined blend: the matte's surroundings within the spill
// range (frame size, byte), the local backdrop colour's sums Y, Cb, Cr and
// count (quarter size, float), a quarter-size scratch plane and the
// segmentation at quarter size, as the matte passes left them.
struct BlendRefinePlanes {
    cl_mem near;
    std::array<cl_mem, 4> backdrop;
    cl_mem quarterScratch;
    cl_mem segmentQuarter;  // the quarter-size mean of the segmentation
};

// The blend with refinements: the local backdrop colour when unmixing, the
// matte's surroundings for a spill range, then the refined blend.
std::vector<gpurt::Pass> refined_blend_passes(
    const gpurt::FrameImages& cam, const gpurt::FrameImages& bg, const gpurt::FrameImages& out,
    const KeyPlanes& planes, const BlendRefinePlanes& refinePlanes, const Refinements& refine,
    int keyColor, const Ver2Geometry& g, int w, int h);

// Camera over background by the matte, into the output frame.
gpurt::Pass blend_pass(const gpurt::FrameImages& cam, const gpurt::FrameImages& bg,
                       const gpurt::FrameImages& out, const KeyPlanes& planes, int keyColor,
                       const Ver2Geometry& g);

}  // namespace cmatte
