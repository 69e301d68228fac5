// Runs frames of any layout through a keyer object directly.
#pragma once

#include "keyers/base_cm.h"
#include "yuv_frames.h"

inline void key_frame(base_cm& keyer, const testframes::Frame& cam, const testframes::Frame& bg,
                      testframes::Frame& out) {
    using testframes::Layout;
    const int w = cam.w, h = cam.h;
    auto c = [&](int i) { return cam.planes[i].data(); };
    auto b = [&](int i) { return bg.planes[i].data(); };
    auto o = [&](int i) { return out.planes[i].data(); };
    if (cam.layout == Layout::kNV12)
        keyer.runNV12(w, h, c(0), c(1), b(0), b(1), o(0), o(1));
    else if (cam.layout == Layout::kI420)
        keyer.runI420(w, h, c(0), c(1), c(2), b(0), b(1), b(2), o(0), o(1), o(2));
    else
        keyer.runYUY2(w, h, c(0), b(0), o(0));
}
