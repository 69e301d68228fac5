// The hard key scenes: what live keyers get wrong most often, each with its
// true alpha and foreground.
#include <algorithm>
#include <cmath>
#include <functional>
#include <random>

#include "key_scene.h"

namespace testframes {

namespace {

constexpr Rgb kGreen{0.10f, 0.72f, 0.28f}, kBlue{0.08f, 0.22f, 0.78f};

float smooth(float e0, float e1, float x) {
    const float t = std::clamp((x - e0) / (e1 - e0), 0.0f, 1.0f);
    return t * t * (3 - 2 * t);
}

Rgb scale(Rgb c, float k) { return {c.r * k, c.g * k, c.b * k}; }
Rgb mix(Rgb a, Rgb b, float t) {
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

Rgb background(float u, float v) {
    const bool check = (static_cast<int>(u * 10) + static_cast<int>(v * 6)) % 2 == 0;
    const float c = check ? 1.0f : 0.75f;
    return {c * (0.9f - 0.5f * v), c * (0.5f + 0.35f * u), c * (0.3f + 0.5f * v * u)};
}

// A torso: an ellipse whose rim is `soft` pixels wide.
float torso(float x, float y, int w, int h, float soft) {
    const float dx = (x - 0.5f * w) / (0.25f * w), dy = (y - 0.95f * h) / (0.6f * h);
    const float d = (std::hypot(dx, dy) - 1.0f) * 0.25f * w;  // about pixels outside the rim
    return 1.0f - smooth(-0.5f * soft, 0.5f * soft, d);
}

// Distance in pixels from the torso's rim to the inside (0 outside).
float depth(float x, float y, int w, int h) {
    const float dx = (x - 0.5f * w) / (0.25f * w), dy = (y - 0.95f * h) / (0.6f * h);
    return std::max(0.0f, (1.0f - std::hypot(dx, dy)) * 0.25f * w);
}

struct Sample {
    float alpha;
    Rgb subject;   // the true foreground
    Rgb spill;     // what the camera shows of the subject (spill added)
    Rgb backdrop;  // the backdrop behind, shadow included
};

using SceneFn = std::function<Sample(float x, float y)>;

KeyScene compose(int w, int h, const SceneFn& at, float noise, int blockOffset, unsigned seed) {
    KeyScene s = sized_key_scene(w, h);
    std::mt19937 rng(seed);
    std::normal_distribution<float> n(0.0f, noise);
    std::uniform_int_distribution<int> block(-blockOffset, blockOffset);
    std::vector<float> offsets(static_cast<std::size_t>((w + 7) / 8) * ((h + 7) / 8));
    for (float& o : offsets) o = static_cast<float>(block(rng)) / 255.0f;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const Sample p = at(x + 0.5f, y + 0.5f);
            const Rgb bg = background((x + 0.5f) / w, (y + 0.5f) / h);
            const float o = offsets[static_cast<std::size_t>(y / 8) * ((w + 7) / 8) + x / 8];
            Rgb cam = mix(p.backdrop, p.spill, p.alpha);
            const float shared = n(rng);
            cam = {std::clamp(cam.r + shared + n(rng) + o, 0.0f, 1.0f),
                   std::clamp(cam.g + shared + n(rng) + o, 0.0f, 1.0f),
                   std::clamp(cam.b + shared + n(rng) + o, 0.0f, 1.0f)};
            s.camera.at(x, y) = cam;
            s.background.at(x, y) = bg;
            s.truth.at(x, y) = mix(bg, p.subject, p.alpha);
            s.alpha[static_cast<std::size_t>(y) * w + x] = p.alpha;
        }
    return s;
}

// Green spill on the rim: opaque pixels within 6 pixels of the edge and the
// soft edge itself take up to a third of the backdrop's colour.
Rgb with_spill(Rgb subject, Rgb key, float x, float y, int w, int h) {
    const float rim = 1.0f - smooth(0.0f, 6.0f, depth(x, y, w, h));
    return mix(subject, key, 0.33f * rim);
}

}  // namespace

const char* hard_scene_name(HardScene kind) {
    static const char* const names[] = {"pale-detail", "spill-rim", "hair",
                                        "noisy",       "uneven",    "denim"};
    return names[static_cast<int>(kind)];
}

KeyScene make_hard_scene(int w, int h, HardScene kind, unsigned seed) {
    const float fw = static_cast<float>(w), fh = static_cast<float>(h);
    const Rgb shirt{0.78f, 0.76f, 0.74f};
    switch (kind) {
        case HardScene::kPaleDetail:
            // Pale-green and mint stripes on a light shirt.
            return compose(
                w, h,
                [&](float x, float y) {
                    const int stripe = static_cast<int>(y / (fh / 24.0f)) % 4;
                    const Rgb f = stripe == 1   ? Rgb{144 / 255.0f, 204 / 255.0f, 144 / 255.0f}
                                  : stripe == 3 ? Rgb{120 / 255.0f, 200 / 255.0f, 120 / 255.0f}
                                                : shirt;
                    return Sample{torso(x, y, w, h, 2.0f), f, f,
                                  scale(kGreen, 1.0f - 0.1f * x / fw)};
                },
                1.5f / 255.0f, 0, seed);
        case HardScene::kSpillRim:
        case HardScene::kNoisy:
            // Soft 3-6 pixel edges with spill; the noisy one adds sensor noise
            // and 8 x 8 block offsets as a compressed camera shows them.
            return compose(
                w, h,
                [&](float x, float y) {
                    const float soft = 3.0f + 3.0f * x / fw;
                    const Rgb f{0.80f, 0.58f, 0.48f};
                    return Sample{torso(x, y, w, h, soft), f, with_spill(f, kGreen, x, y, w, h),
                                  scale(kGreen, 0.95f)};
                },
                kind == HardScene::kNoisy ? 4.0f / 255.0f : 1.5f / 255.0f,
                kind == HardScene::kNoisy ? 3 : 0, seed);
        case HardScene::kHair:
            // Strands of 1 pixel and less over the head, an arm blurred by motion.
            return compose(
                w, h,
                [&](float x, float y) {
                    float a = torso(x, y, w, h, 2.0f);
                    const float v = y / fh;
                    if (v > 0.1f && v < 0.45f)
                        for (int k = 0; k < 14; ++k) {
                            const float x0 =
                                (0.38f + 0.017f * k + 0.02f * std::sin(v * 20.0f + k)) * fw;
                            a = std::max(a, 0.7f * (1.0f - smooth(0.2f, 0.9f, std::fabs(x - x0))));
                        }
                    if (v > 0.5f && v < 0.58f)  // the arm, blurred over 24 pixels
                        a = std::max(a, 1.0f - smooth(0.0f, 24.0f, x - 0.25f * fw));
                    const Rgb f = v < 0.45f ? Rgb{0.30f, 0.20f, 0.12f} : Rgb{0.85f, 0.62f, 0.50f};
                    return Sample{a, f, f, kGreen};
                },
                1.5f / 255.0f, 0, seed);
        case HardScene::kUneven:
            // Light falling 2.5 times across the backdrop, the subject's shadow on it.
            return compose(
                w, h,
                [&](float x, float y) {
                    const float light = 1.0f - 0.6f * x / fw;
                    const float cast =
                        std::hypot((x - 0.72f * fw) / (0.2f * fw), (y - 0.9f * fh) / (0.5f * fh));
                    const float shadow = 1.0f - 0.2f * (1.0f - smooth(0.8f, 1.1f, cast));
                    const Rgb f{0.55f, 0.52f, 0.50f};
                    return Sample{torso(x, y, w, h, 2.0f), f, f, scale(kGreen, light * shadow)};
                },
                1.5f / 255.0f, 0, seed);
        case HardScene::kDenim:
            // Denim with seams and bluish threads on a blue screen.
            return compose(
                w, h,
                [&](float x, float y) {
                    const float weave = 0.9f + 0.1f * std::sin(x * 2.1f + y * 2.1f);
                    const bool seam = static_cast<int>(x) % 40 < 2;
                    const Rgb f =
                        seam ? Rgb{0.70f, 0.55f, 0.30f} : scale(Rgb{0.22f, 0.30f, 0.48f}, weave);
                    return Sample{torso(x, y, w, h, 2.0f), f, f, kBlue};
                },
                1.5f / 255.0f, 0, seed);
    }
    return {};
}

}  // namespace testframes
