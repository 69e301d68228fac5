#include "cpu_reference.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <random>

#include "gpu_runtime/yuv_convention.h"

namespace lutref {
namespace {

std::uint8_t code(float v) {
    return static_cast<std::uint8_t>(std::clamp(std::floor(v + 0.5f), 0.0f, 255.0f));
}

float clamp01(float v) { return std::clamp(v, 0.0f, 1.0f); }

float luma(Rgb c) { return YUVC_KR * c.r + YUVC_KG * c.g + YUVC_KB * c.b; }

std::uint8_t luma_code(Rgb c) { return code(YUVC_Y_OFFSET + YUVC_Y_RANGE * luma(c)); }

// Chroma codes of the mean of the colours.
void chroma_codes(const std::vector<Rgb>& colours, std::uint8_t& cb, std::uint8_t& cr) {
    Rgb m{0, 0, 0};
    for (const Rgb& c : colours) m = {m.r + c.r, m.g + c.g, m.b + c.b};
    const float k = 1.0f / colours.size();
    m = {m.r * k, m.g * k, m.b * k};
    const float yn = luma(m);
    cb = code(YUVC_C_OFFSET + YUVC_C_RANGE * (m.b - yn) / YUVC_B_PB);
    cr = code(YUVC_C_OFFSET + YUVC_C_RANGE * (m.r - yn) / YUVC_R_PR);
}

Table make_table(int n, Rgb (*f)(float, float, float)) {
    Table t{n, Bytes(static_cast<std::size_t>(n) * n * n * 4, 0)};
    for (int z = 0; z < n; ++z)
        for (int y = 0; y < n; ++y)
            for (int x = 0; x < n; ++x) {
                const Rgb c = f(x / float(n - 1), y / float(n - 1), z / float(n - 1));
                std::uint8_t* e = &t.bytes[4 * ((static_cast<std::size_t>(z) * n + y) * n + x)];
                e[0] = code(c.r * 255.0f);
                e[1] = code(c.g * 255.0f);
                e[2] = code(c.b * 255.0f);
            }
    return t;
}

// Grades a block of pixels that share one chroma sample.
template <class Pixels>
void grade_block(const Table& t, std::uint8_t cb, std::uint8_t cr, Pixels pixels,
                 std::uint8_t& outCb, std::uint8_t& outCr) {
    std::vector<Rgb> graded;
    for (std::uint8_t* y : pixels) {
        const Rgb c = lookup(t, to_rgb(*y, cb, cr));
        graded.push_back(c);
        *y = luma_code(c);
    }
    chroma_codes(graded, outCb, outCr);
}

// A block colour inside the cube with room for the luma noise.
Rgb block_colour(std::mt19937& rng) {
    std::uniform_real_distribution<float> d(0.12f, 0.88f);
    return {d(rng), d(rng), d(rng)};
}

int noise(std::mt19937& rng) { return static_cast<int>(rng() % 13) - 6; }

}  // namespace

Table identity_table(int n) {
    return make_table(n, [](float r, float g, float b) { return Rgb{r, g, b}; });
}

std::vector<float> rgb_floats(const Table& t) {
    std::vector<float> rgb;
    for (std::size_t e = 0; e < t.bytes.size(); e += 4)
        for (int c = 0; c < 3; ++c) rgb.push_back(t.bytes[e + c] / 255.0f);
    return rgb;
}

Table warm_look_table(int n) {
    return make_table(n, [](float r, float g, float b) {
        return Rgb{clamp01(std::pow(r, 0.8f) * 0.95f + 0.05f * g),
                   clamp01(0.9f * g + 0.08f * b + 0.02f),
                   clamp01(std::pow(b, 1.3f) * 0.85f + 0.1f * r)};
    });
}

Rgb to_rgb(std::uint8_t y, std::uint8_t cb, std::uint8_t cr) {
    const float yn = (y - YUVC_Y_OFFSET) / YUVC_Y_RANGE;
    const float pb = (cb - YUVC_C_OFFSET) / YUVC_C_RANGE;
    const float pr = (cr - YUVC_C_OFFSET) / YUVC_C_RANGE;
    return {clamp01(yn + YUVC_R_PR * pr), clamp01(yn + YUVC_G_PB * pb + YUVC_G_PR * pr),
            clamp01(yn + YUVC_B_PB * pb)};
}

void to_ycbcr(Rgb c, std::uint8_t& y, std::uint8_t& cb, std::uint8_t& cr) {
    y = luma_code(c);
    chroma_codes({c}, cb, cr);
}

Rgb lookup(const Table& t, Rgb in) {
    const int n = t.n;
    const float p[3] = {in.r * (n - 1), in.g * (n - 1), in.b * (n - 1)};
    int i[3];
    float f[3];
    for (int a = 0; a < 3; ++a) {
        i[a] = std::min(static_cast<int>(p[a]), n - 2);
        f[a] = p[a] - i[a];
    }
    auto at = [&](int dx, int dy, int dz, int ch) {
        const std::size_t e =
            (static_cast<std::size_t>(i[2] + dz) * n + (i[1] + dy)) * n + (i[0] + dx);
        return t.bytes[4 * e + ch] / 255.0f;
    };
    const float fx = f[0], fy = f[1], fz = f[2];
    float out[3];
    for (int ch = 0; ch < 3; ++ch) {
        const float c000 = at(0, 0, 0, ch), c111 = at(1, 1, 1, ch);
        if (fx >= fy && fy >= fz)
            out[ch] = c000 + fx * (at(1, 0, 0, ch) - c000) +
                      fy * (at(1, 1, 0, ch) - at(1, 0, 0, ch)) + fz * (c111 - at(1, 1, 0, ch));
        else if (fx >= fz && fz >= fy)
            out[ch] = c000 + fx * (at(1, 0, 0, ch) - c000) +
                      fz * (at(1, 0, 1, ch) - at(1, 0, 0, ch)) + fy * (c111 - at(1, 0, 1, ch));
        else if (fz >= fx && fx >= fy)
            out[ch] = c000 + fz * (at(0, 0, 1, ch) - c000) +
                      fx * (at(1, 0, 1, ch) - at(0, 0, 1, ch)) + fy * (c111 - at(1, 0, 1, ch));
        else if (fy >= fx && fx >= fz)
            out[ch] = c000 + fy * (at(0, 1, 0, ch) - c000) +
                      fx * (at(1, 1, 0, ch) - at(0, 1, 0, ch)) + fz * (c111 - at(1, 1, 0, ch));
        else if (fy >= fz && fz >= fx)
            out[ch] = c000 + fy * (at(0, 1, 0, ch) - c000) +
                      fz * (at(0, 1, 1, ch) - at(0, 1, 0, ch)) + fx * (c111 - at(0, 1, 1, ch));
        else
            out[ch] = c000 + fz * (at(0, 0, 1, ch) - c000) +
                      fy * (at(0, 1, 1, ch) - at(0, 0, 1, ch)) + fx * (c111 - at(0, 1, 1, ch));
    }
    return {out[0], out[1], out[2]};
}

Nv12 grade_nv12(const Table& t, int w, int h, const Nv12& in) {
    Nv12 out = in;
    for (int by = 0; by < h / 2; ++by)
        for (int bx = 0; bx < w / 2; ++bx) {
            std::uint8_t* c = &out.uv[static_cast<std::size_t>(by) * w + 2 * bx];
            std::uint8_t* top = &out.y[static_cast<std::size_t>(2 * by) * w + 2 * bx];
            grade_block(t, c[0], c[1],
                        std::vector<std::uint8_t*>{top, top + 1, top + w, top + w + 1}, c[0], c[1]);
        }
    return out;
}

I420 grade_i420(const Table& t, int w, int h, const I420& in) {
    I420 out = in;
    for (int by = 0; by < h / 2; ++by)
        for (int bx = 0; bx < w / 2; ++bx) {
            const std::size_t ci = static_cast<std::size_t>(by) * (w / 2) + bx;
            std::uint8_t* top = &out.y[static_cast<std::size_t>(2 * by) * w + 2 * bx];
            grade_block(t, out.u[ci], out.v[ci],
                        std::vector<std::uint8_t*>{top, top + 1, top + w, top + w + 1}, out.u[ci],
                        out.v[ci]);
        }
    return out;
}

Bytes grade_yuy2(const Table& t, int w, int h, const Bytes& in) {
    Bytes out = in;
    for (std::size_t i = 0; i + 3 < static_cast<std::size_t>(w) * h * 2; i += 4) {
        std::uint8_t* p = &out[i];
        grade_block(t, p[1], p[3], std::vector<std::uint8_t*>{p, p + 2}, p[1], p[3]);
    }
    return out;
}

Nv12 sample_nv12(int w, int h, unsigned seed) {
    const I420 planar = sample_i420(w, h, seed);
    Nv12 f{planar.y, Bytes(static_cast<std::size_t>(w) * h / 2)};
    for (std::size_t i = 0; i < planar.u.size(); ++i) {
        f.uv[2 * i] = planar.u[i];
        f.uv[2 * i + 1] = planar.v[i];
    }
    return f;
}

I420 sample_i420(int w, int h, unsigned seed) {
    std::mt19937 rng(seed);
    I420 f{Bytes(static_cast<std::size_t>(w) * h), Bytes(static_cast<std::size_t>(w) * h / 4),
           Bytes(static_cast<std::size_t>(w) * h / 4)};
    for (int by = 0; by < h / 2; ++by)
        for (int bx = 0; bx < w / 2; ++bx) {
            std::uint8_t y, cb, cr;
            to_ycbcr(block_colour(rng), y, cb, cr);
            const std::size_t ci = static_cast<std::size_t>(by) * (w / 2) + bx;
            f.u[ci] = cb;
            f.v[ci] = cr;
            for (int dy = 0; dy < 2; ++dy)
                for (int dx = 0; dx < 2; ++dx)
                    f.y[static_cast<std::size_t>(2 * by + dy) * w + 2 * bx + dx] =
                        static_cast<std::uint8_t>(y + noise(rng));
        }
    return f;
}

Bytes sample_yuy2(int w, int h, unsigned seed) {
    std::mt19937 rng(seed);
    Bytes f(static_cast<std::size_t>(w) * h * 2);
    for (std::size_t i = 0; i < f.size(); i += 4) {
        std::uint8_t y, cb, cr;
        to_ycbcr(block_colour(rng), y, cb, cr);
        f[i] = static_cast<std::uint8_t>(y + noise(rng));
        f[i + 1] = cb;
        f[i + 2] = static_cast<std::uint8_t>(y + noise(rng));
        f[i + 3] = cr;
    }
    return f;
}

int max_difference(const Bytes& a, const Bytes& b) {
    if (a.size() != b.size()) return 256;
    int worst = 0;
    for (std::size_t i = 0; i < a.size(); ++i) worst = std::max(worst, std::abs(a[i] - b[i]));
    return worst;
}

}  // namespace lutref
