// CPU reference of frame grading in the YCbCr convention of
// gpu_runtime/yuv_convention.h, written independently of the kernels:
// per-pixel conversion, tetrahedral interpolation by the six cases, chroma
// of the mean graded colour of each block that shares a chroma sample.
#pragma once

#include <cstdint>
#include <vector>

namespace lutref {

using Bytes = std::vector<std::uint8_t>;

// A table of n^3 entries of 4 bytes (R, G, B, unused), red fastest.
struct Table {
    int n;
    Bytes bytes;
};

Table identity_table(int n);
// The table's entries as R, G, B floats (1.0 full scale), as the library loads them.
std::vector<float> rgb_floats(const Table& t);
// A smooth, clearly non-identity look: channel curves plus some cross-talk.
Table warm_look_table(int n);

struct Rgb {
    float r, g, b;
};
Rgb lookup(const Table& t, Rgb in);  // in and out 0..1

// One pixel in the convention of gpu_runtime/yuv_convention.h (RGB clamped to 0..1).
Rgb to_rgb(std::uint8_t y, std::uint8_t cb, std::uint8_t cr);
void to_ycbcr(Rgb c, std::uint8_t& y, std::uint8_t& cb, std::uint8_t& cr);

struct Nv12 {
    Bytes y, uv;
};
struct I420 {
    Bytes y, u, v;
};

Nv12 grade_nv12(const Table& t, int w, int h, const Nv12& in);
I420 grade_i420(const Table& t, int w, int h, const I420& in);
Bytes grade_yuy2(const Table& t, int w, int h, const Bytes& in);

// Test frames: smooth colours that stay inside the RGB cube after chroma
// subsampling (so an identity table gives them back), plus per-pixel noise.
Nv12 sample_nv12(int w, int h, unsigned seed);
I420 sample_i420(int w, int h, unsigned seed);
Bytes sample_yuy2(int w, int h, unsigned seed);

// Largest absolute difference of two planes.
int max_difference(const Bytes& a, const Bytes& b);

}  // namespace lutref
