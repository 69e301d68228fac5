// RGB pictures and their NV12, I420 and YUY2 frames in the YCbCr convention
// of gpu_runtime/yuv_convention.h, for tests, benchmarks and demos.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace testframes {

using Bytes = std::vector<std::uint8_t>;

struct Rgb {
    float r, g, b;  // 0..1
};

struct Picture {
    int w = 0, h = 0;
    std::vector<Rgb> px;  // row-major
    Rgb& at(int x, int y) { return px[static_cast<std::size_t>(y) * w + x]; }
    const Rgb& at(int x, int y) const { return px[static_cast<std::size_t>(y) * w + x]; }
};

enum class Layout { kNV12, kI420, kYUY2 };

// The planes of one frame; plane 0 is Y (NV12, I420) or the packed plane (YUY2).
struct Frame {
    Layout layout;
    int w, h;
    std::vector<Bytes> planes;
};

Frame to_frame(const Picture& p, Layout layout);
Picture to_picture(const Frame& f);  // chroma shared by the pixels of its block
Frame blank_frame(Layout layout, int w, int h, std::uint8_t fill);
const char* layout_name(Layout layout);

// Peak signal-to-noise ratio over all bytes of two frames of one layout, in dB.
double psnr(const Frame& a, const Frame& b);

// Binary PPM writer (RGB, 8 bits).
bool write_ppm(const std::string& path, const Picture& p);

}  // namespace testframes
