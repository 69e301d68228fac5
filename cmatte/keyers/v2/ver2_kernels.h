// The kernels of the version-2 program: the list they are created from (in
// creation order, each with the text its creation failure prints) and the
// handles of the launched ones, found by name in that list.
#pragma once

#include <vector>

#include "gpu_runtime/device_context.h"

namespace cmatte {

// Index of each launched kernel in the device context's kernel list.
struct Ver2Kernels {
    int nv12CalLabA, nv12CalLabB, yuy2CalLabA, yuy2CalLabB, i420CalLabA, i420CalLabB;
    int nv12Blend, yuy2Blend, i420Blend;
    int statHist, accmHist;
    int downSample44, downSample22, upSample44SpeedUp;
    int segment, div, mul2, mulAdd, mulSub;
    int gaussBlur, boxR8X, boxR8Y, boxX, boxY;
    // The refinements'.
    int segmentKeep, matteAdjust, matteTrimap;
    int nv12BackdropSums, i420BackdropSums, yuy2BackdropSums;
    int nv12RefinedBlend, i420RefinedBlend, yuy2RefinedBlend;
};

const std::vector<gpurt::KernelEntry>& ver2_kernel_list();
const Ver2Kernels& ver2_kernels();

}  // namespace cmatte
