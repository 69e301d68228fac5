#include "tables/hsv_colour.h"

#include <algorithm>
#include <cmath>

namespace lutgrade {

Hsv hsv_of_rgb(float r, float g, float b) {
    constexpr float kTiny = 1e-10f;
    // p and q order the channels so that q[0] is the largest; q[2] carries the
    // hue offset of the sextant.
    float p[4];
    if (g >= b) {
        p[0] = g, p[1] = b, p[2] = 0.0f, p[3] = -1.0f / 3.0f;
    } else {
        p[0] = b, p[1] = g, p[2] = -1.0f, p[3] = 2.0f / 3.0f;
    }
    float q[4];
    if (r >= p[0]) {
        q[0] = r, q[1] = p[1], q[2] = p[2], q[3] = p[0];
    } else {
        q[0] = p[0], q[1] = p[1], q[2] = p[3], q[3] = r;
    }
    const float v = std::max({r, g, b});
    const float d = v - std::min({r, g, b});
    return {360.0f * std::fabs(q[2] + (q[3] - q[1]) / (6.0f * d + kTiny)), d / (v + kTiny), v};
}

void rgb_of_hsv(float hueTurns, float s, float v, float (&rgb)[3]) {
    const float offsets[3] = {1.0f, 2.0f / 3.0f, 1.0f / 3.0f};
    for (int c = 0; c < 3; ++c) {
        const float x = hueTurns + offsets[c];
        const float p = std::clamp(std::fabs((x - std::floor(x)) * 6.0f - 3.0f) - 1.0f, 0.0f, 1.0f);
        rgb[c] = (p * s + 1.0f - s) * v;
    }
}

}  // namespace lutgrade
