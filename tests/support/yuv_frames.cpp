#include "yuv_frames.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "gpu_runtime/yuv_convention.h"

namespace testframes {

namespace {

std::uint8_t code(float v) {
    return static_cast<std::uint8_t>(std::clamp(std::floor(v + 0.5f), 0.0f, 255.0f));
}

float luma(Rgb c) { return YUVC_KR * c.r + YUVC_KG * c.g + YUVC_KB * c.b; }

std::uint8_t y_code(Rgb c) { return code(YUVC_Y_OFFSET + YUVC_Y_RANGE * luma(c)); }

// Chroma codes of the mean colour of some pixels.
void chroma(std::initializer_list<Rgb> colours, std::uint8_t& cb, std::uint8_t& cr) {
    Rgb m{0, 0, 0};
    for (const Rgb& c : colours) m = {m.r + c.r, m.g + c.g, m.b + c.b};
    const float n = static_cast<float>(colours.size());
    m = {m.r / n, m.g / n, m.b / n};
    const float yn = luma(m);
    cb = code(YUVC_C_OFFSET + YUVC_C_RANGE * (m.b - yn) / YUVC_B_PB);
    cr = code(YUVC_C_OFFSET + YUVC_C_RANGE * (m.r - yn) / YUVC_R_PR);
}

Rgb to_rgb(std::uint8_t y, std::uint8_t cb, std::uint8_t cr) {
    const float yn = (y - YUVC_Y_OFFSET) / YUVC_Y_RANGE;
    const float pb = (cb - YUVC_C_OFFSET) / YUVC_C_RANGE, pr = (cr - YUVC_C_OFFSET) / YUVC_C_RANGE;
    auto c = [](float v) { return std::clamp(v, 0.0f, 1.0f); };
    return {c(yn + YUVC_R_PR * pr), c(yn + YUVC_G_PB * pb + YUVC_G_PR * pr),
            c(yn + YUVC_B_PB * pb)};
}

}  // namespace

const char* layout_name(Layout layout) {
    return layout == Layout::kNV12 ? "NV12" : layout == Layout::kI420 ? "I420" : "YUY2";
}

Frame blank_frame(Layout layout, int w, int h, std::uint8_t fill) {
    const std::size_t n = static_cast<std::size_t>(w) * h;
    Frame f{layout, w, h, {}};
    if (layout == Layout::kNV12) f.planes = {Bytes(n, fill), Bytes(n / 2, fill)};
    if (layout == Layout::kI420)
        f.planes = {Bytes(n, fill), Bytes(n / 4, fill), Bytes(n / 4, fill)};
    if (layout == Layout::kYUY2) f.planes = {Bytes(2 * n, fill)};
    return f;
}

Frame to_frame(const Picture& p, Layout layout) {
    Frame f = blank_frame(layout, p.w, p.h, 0);
    const int w = p.w;
    if (layout == Layout::kYUY2) {
        for (int y = 0; y < p.h; ++y)
            for (int x = 0; x < w; x += 2) {
                std::uint8_t* o = &f.planes[0][(static_cast<std::size_t>(y) * w + x) * 2];
                o[0] = y_code(p.at(x, y));
                o[2] = y_code(p.at(x + 1, y));
                chroma({p.at(x, y), p.at(x + 1, y)}, o[1], o[3]);
            }
        return f;
    }
    for (int y = 0; y < p.h; ++y)
        for (int x = 0; x < w; ++x)
            f.planes[0][static_cast<std::size_t>(y) * w + x] = y_code(p.at(x, y));
    for (int y = 0; y < p.h; y += 2)
        for (int x = 0; x < w; x += 2) {
            std::uint8_t cb, cr;
            chroma({p.at(x, y), p.at(x + 1, y), p.at(x, y + 1), p.at(x + 1, y + 1)}, cb, cr);
            const std::size_t row = y / 2;
            if (layout == Layout::kNV12) {
                f.planes[1][row * w + x] = cb;
                f.planes[1][row * w + x + 1] = cr;
            } else {
                f.planes[1][row * (w / 2) + x / 2] = cb;
                f.planes[2][row * (w / 2) + x / 2] = cr;
            }
        }
    return f;
}

Picture to_picture(const Frame& f) {
    Picture p{f.w, f.h, std::vector<Rgb>(static_cast<std::size_t>(f.w) * f.h)};
    for (int y = 0; y < f.h; ++y)
        for (int x = 0; x < f.w; ++x) {
            std::uint8_t Y, cb, cr;
            if (f.layout == Layout::kYUY2) {
                const std::uint8_t* q =
                    &f.planes[0][(static_cast<std::size_t>(y) * f.w + (x & ~1)) * 2];
                Y = q[(x & 1) * 2];
                cb = q[1];
                cr = q[3];
            } else {
                Y = f.planes[0][static_cast<std::size_t>(y) * f.w + x];
                const std::size_t row = y / 2;
                if (f.layout == Layout::kNV12) {
                    cb = f.planes[1][row * f.w + (x & ~1)];
                    cr = f.planes[1][row * f.w + (x & ~1) + 1];
                } else {
                    cb = f.planes[1][row * (f.w / 2) + x / 2];
                    cr = f.planes[2][row * (f.w / 2) + x / 2];
                }
            }
            p.at(x, y) = to_rgb(Y, cb, cr);
        }
    return p;
}

double psnr(const Frame& a, const Frame& b) {
    double sum = 0;
    std::size_t n = 0;
    for (std::size_t i = 0; i < a.planes.size() && i < b.planes.size(); ++i)
        for (std::size_t j = 0; j < a.planes[i].size() && j < b.planes[i].size(); ++j) {
            const double d = static_cast<double>(a.planes[i][j]) - b.planes[i][j];
            sum += d * d;
            ++n;
        }
    if (n == 0) return 0;
    if (sum == 0) return 99.0;
    return 10.0 * std::log10(255.0 * 255.0 / (sum / static_cast<double>(n)));
}

bool write_ppm(const std::string& path, const Picture& p) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    std::fprintf(f, "P6\n%d %d\n255\n", p.w, p.h);
    Bytes row(static_cast<std::size_t>(p.w) * 3);
    for (int y = 0; y < p.h; ++y) {
        for (int x = 0; x < p.w; ++x) {
            row[3 * x] = code(p.at(x, y).r * 255.0f);
            row[3 * x + 1] = code(p.at(x, y).g * 255.0f);
            row[3 * x + 2] = code(p.at(x, y).b * 255.0f);
        }
        std::fwrite(row.data(), 1, row.size(), f);
    }
    return std::fclose(f) == 0;
}

}  // namespace testframes
