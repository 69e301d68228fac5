#include "key_scene.h"

#include <algorithm>
#include <cmath>
#include <random>

namespace testframes {

namespace {

float smoothstep(float e0, float e1, float x) {
    const float t = std::clamp((x - e0) / (e1 - e0), 0.0f, 1.0f);
    return t * t * (3 - 2 * t);
}

// Subject: a body (ellipse with a soft rim) and a head (circle with a hard
// edge), strands of hair half covering the backdrop, textured colours.
float subject_alpha(float u, float v, float scale) {
    const float body = std::hypot((u - 0.5f) / 0.22f, (v - 0.85f) / 0.35f);
    const float head = std::hypot((u - 0.5f) / 0.12f, (v - 0.38f) / 0.16f);
    const float soft = 1.0f - smoothstep(1.0f - 0.04f, 1.0f + 0.04f, body);  // soft rim
    const float hard = head <= 1.0f ? 1.0f : 0.0f;
    float a = std::max(soft, hard);
    // Hair: thin strands above the head, partly transparent.
    if (v < 0.30f && v > 0.12f)
        for (int k = 0; k < 9; ++k) {
            const float x0 = 0.42f + 0.02f * k + 0.03f * std::sin(v * 30.0f + k);
            if (std::fabs(u - x0) * scale < 0.8f) a = std::max(a, 0.6f);
        }
    return a;
}

Rgb subject_colour(float u, float v) {
    if (v > 0.55f) {  // shirt: red and grey stripes with cloth texture
        const bool stripe = std::fmod(v * 40.0f, 2.0f) < 1.0f;
        const float t = 0.9f + 0.1f * std::sin(u * 300.0f) * std::sin(v * 280.0f);
        return stripe ? Rgb{0.75f * t, 0.15f * t, 0.12f * t} : Rgb{0.55f * t, 0.52f * t, 0.50f * t};
    }
    if (v < 0.30f) return {0.25f, 0.16f, 0.10f};  // dark brown hair
    const float t = 0.92f + 0.08f * std::sin(u * 90.0f + v * 70.0f);
    return {0.86f * t, 0.62f * t, 0.50f * t};  // skin
}

Rgb backdrop_colour(Backdrop b, float u, float v) {
    // Uneven lighting: brighter centre, darker corners and one side.
    const float light = 0.70f + 0.30f * (1.0f - std::hypot(u - 0.45f, v - 0.4f)) - 0.1f * u;
    const Rgb base = b == Backdrop::kGreen ? Rgb{0.10f, 0.72f, 0.28f} : Rgb{0.08f, 0.22f, 0.78f};
    return {base.r * light, base.g * light, base.b * light};
}

Rgb new_background(float u, float v) {
    const bool check = (static_cast<int>(u * 12) + static_cast<int>(v * 8)) % 2 == 0;
    const float c = check ? 1.0f : 0.8f;
    return {c * (0.95f - 0.5f * v), c * (0.55f + 0.3f * u), c * (0.25f + 0.6f * v * u)};
}

Rgb mix(Rgb a, Rgb b, float t) {
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

}  // namespace

KeyScene sized_key_scene(int w, int h) {
    KeyScene s;
    s.camera = {w, h, std::vector<Rgb>(static_cast<std::size_t>(w) * h)};
    s.background = s.camera;
    s.truth = s.camera;
    s.alpha.resize(static_cast<std::size_t>(w) * h);
    return s;
}

KeyScene make_key_scene(int w, int h, Backdrop backdrop, unsigned seed) {
    KeyScene s = sized_key_scene(w, h);
    std::mt19937 rng(seed);
    std::normal_distribution<float> noise(0.0f, 1.5f / 255.0f);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const float u = (x + 0.5f) / w, v = (y + 0.5f) / h;
            const float a = subject_alpha(u, v, static_cast<float>(w));
            const Rgb f = subject_colour(u, v), bg = new_background(u, v);
            Rgb cam = mix(backdrop_colour(backdrop, u, v), f, a);
            const float n = noise(rng);
            cam = {std::clamp(cam.r + n + noise(rng), 0.0f, 1.0f),
                   std::clamp(cam.g + n + noise(rng), 0.0f, 1.0f),
                   std::clamp(cam.b + n + noise(rng), 0.0f, 1.0f)};
            s.camera.at(x, y) = cam;
            s.background.at(x, y) = bg;
            s.truth.at(x, y) = mix(bg, f, a);
            s.alpha[static_cast<std::size_t>(y) * w + x] = a;
        }
    return s;
}

std::vector<Region> classify(const KeyScene& s, int margin) {
    const int w = s.camera.w, h = s.camera.h;
    std::vector<Region> out(static_cast<std::size_t>(w) * h, Region::kEdge);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            float lo = 1, hi = 0;
            for (int dy = -margin; dy <= margin; ++dy)
                for (int dx = -margin; dx <= margin; ++dx) {
                    const int xx = std::clamp(x + dx, 0, w - 1), yy = std::clamp(y + dy, 0, h - 1);
                    const float a = s.alpha[static_cast<std::size_t>(yy) * w + xx];
                    lo = std::min(lo, a);
                    hi = std::max(hi, a);
                }
            if (hi == 0.0f) out[static_cast<std::size_t>(y) * w + x] = Region::kBackdrop;
            if (lo == 1.0f) out[static_cast<std::size_t>(y) * w + x] = Region::kSubject;
        }
    return out;
}

}  // namespace testframes
