// Runs frames of any layout through a ColorMatting object.
#pragma once

#include "cmatte/ColorMatting.h"
#include "yuv_frames.h"

inline void key_frame(ColorMatting& cm, const testframes::Frame& cam, const testframes::Frame& bg,
                      testframes::Frame& out) {
    using testframes::Layout;
    const int w = cam.w, h = cam.h;
    if (cam.layout == Layout::kNV12)
        cm.exec_ColorMatting_NV12(w, h, cam.planes[0].data(), cam.planes[1].data(),
                                  bg.planes[0].data(), bg.planes[1].data(), out.planes[0].data(),
                                  out.planes[1].data());
    else if (cam.layout == Layout::kI420)
        cm.exec_ColorMatting_I420(w, h, cam.planes[0].data(), cam.planes[1].data(),
                                  cam.planes[2].data(), bg.planes[0].data(), bg.planes[1].data(),
                                  bg.planes[2].data(), out.planes[0].data(), out.planes[1].data(),
                                  out.planes[2].data());
    else
        cm.exec_ColorMatting_YUY2(w, h, cam.planes[0].data(), bg.planes[0].data(),
                                  out.planes[0].data());
}
