// The largest frame both libraries take. Larger frames are refused at the
// public calls, before any size arithmetic: with sides up to 16384 every
// product of sizes (bytes of a plane, texels of a grid) fits in 32 bits.
#pragma once

#include "gpu_runtime/cl_api.h"
#include "gpu_runtime/gpu_print.h"

namespace gpurt {

constexpr int kMaxFrameSide = 16384;

// false, after the bad-frame line of check_frame, when a side exceeds kMaxFrameSide.
inline bool frame_within_limit(const char* call, int w, int h) {
    if (w <= kMaxFrameSide && h <= kMaxFrameSide) return true;
    gpu_print("Error @%s(bad frame %dx%d):%d\n", call, w, h, CL_INVALID_VALUE);
    return false;
}

}  // namespace gpurt
