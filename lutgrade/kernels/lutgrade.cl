// Grading kernels: YCbCr -> RGB, tetrahedral lookup in the colour table,
// back to YCbCr, in the convention of yuv_convention.h.
//
// The table is a buffer of n*n*n float4 entries, entry (x, y, z) at
// (z*n + y)*n + x for the input colour (x, y, z)/(n-1). The host stores each
// entry's output colour already converted to Y', Cb, Cr codes (0..1): the
// conversion is affine and the interpolation weights sum to one, so
// interpolating converted entries equals converting the interpolated colour,
// and the chroma of a block's mean colour is the mean of its chroma.
// Each work-item grades a block of 4 x 2 pixels: the chroma of NV12 and I420
// is shared by 2 x 2 pixels, so one item reads and writes it once. The grid is
// (w/4, h); items of the lower half of the grid have no block and return.
// On CPU devices image reads and writes are costly calls while buffer loads
// are cheap, which is why the table is a buffer and the eight pixels of a
// block are converted together in float8 arithmetic.
#include "gpu_runtime/yuv_convention.h"

#define INLINE __attribute__((always_inline)) inline

__constant sampler_t kNearest = CLK_NORMALIZED_COORDS_FALSE | CLK_ADDRESS_CLAMP_TO_EDGE | CLK_FILTER_NEAREST;

#include "gpu_runtime/i420_chroma_cl.h"

// Codes 0..1 (as read from UNORM images) of eight pixels -> graded Y', Cb, Cr codes.
INLINE void grade8(float8 y, float8 cb, float8 cr, __global const float4* lut, int n, float4* out) {
  const float8 yn = (y * 255.0f - YUVC_Y_OFFSET) * (1.0f / YUVC_Y_RANGE);
  const float8 pb = (cb * 255.0f - YUVC_C_OFFSET) * (1.0f / YUVC_C_RANGE);
  const float8 pr = (cr * 255.0f - YUVC_C_OFFSET) * (1.0f / YUVC_C_RANGE);
  const float scale = (float)(n - 1);
  const float8 r = clamp(yn + YUVC_R_PR * pr, 0.0f, 1.0f) * scale;
  const float8 g = clamp(yn + YUVC_G_PB * pb + YUVC_G_PR * pr, 0.0f, 1.0f) * scale;
  const float8 b = clamp(yn + YUVC_B_PB * pb, 0.0f, 1.0f) * scale;

  // Cell: the top face belongs to the last cell, with a fraction of 1.
  const int8 ix = min(convert_int8(r), n - 2);
  const int8 iy = min(convert_int8(g), n - 2);
  const int8 iz = min(convert_int8(b), n - 2);
  const float8 fx = r - convert_float8(ix);
  const float8 fy = g - convert_float8(iy);
  const float8 fz = b - convert_float8(iz);

  // Tetrahedron: walk from the cell's first corner along the axis of the
  // largest fraction, then the middle one, to the opposite corner.
  const int n2 = n * n;
  const int diagonal = 1 + n + n2;
  const int8 base = ix + iy * n + iz * n2;
  const int8 largest = select(select((int8)n2, (int8)n, fy >= fz), (int8)1, (fx >= fy) & (fx >= fz));
  const int8 smallest = select(select((int8)n2, (int8)n, fy < fz), (int8)1, (fx < fy) & (fx < fz));
  const int8 second = diagonal - smallest;
  const float8 hi = fmax(fx, fmax(fy, fz));
  const float8 lo = fmin(fx, fmin(fy, fz));
  const float8 mid = fx + fy + fz - hi - lo;
  const float8 w0 = 1.0f - hi, w1 = hi - mid, w2 = mid - lo;

#define TETRA(k)                                                                                            \
  out[k] = lut[base.s##k] * w0.s##k + lut[base.s##k + largest.s##k] * w1.s##k +                            \
           lut[base.s##k + second.s##k] * w2.s##k + lut[base.s##k + diagonal] * lo.s##k
  TETRA(0);
  TETRA(1);
  TETRA(2);
  TETRA(3);
  TETRA(4);
  TETRA(5);
  TETRA(6);
  TETRA(7);
#undef TETRA
}

// Chroma of two 2 x 2 blocks (pixels 0 1 / 4 5 and 2 3 / 6 7): Cb0 Cr0 Cb1 Cr1.
INLINE float4 chroma_420(const float4* p) {
  return (float4)((p[0] + p[1] + p[4] + p[5]).yz, (p[2] + p[3] + p[6] + p[7]).yz) * 0.25f;
}

__kernel void nv12_GM_3DLut_tex3D(__read_only image2d_t srcY, __read_only image2d_t srcUV,
                                  __global const float4* lut, int n, __write_only image2d_t dstY,
                                  __write_only image2d_t dstUV) {
  const int x = get_global_id(0), row = get_global_id(1);
  if (row >= get_image_height(srcUV)) return;
  const float4 top = read_imagef(srcY, kNearest, (int2)(x, 2 * row));
  const float4 bottom = read_imagef(srcY, kNearest, (int2)(x, 2 * row + 1));
  const float4 c = read_imagef(srcUV, kNearest, (int2)(x, row));
  float4 p[8];
  grade8((float8)(top, bottom), (float8)(c.xxzz, c.xxzz), (float8)(c.yyww, c.yyww), lut, n, p);
  write_imagef(dstY, (int2)(x, 2 * row), (float4)(p[0].x, p[1].x, p[2].x, p[3].x));
  write_imagef(dstY, (int2)(x, 2 * row + 1), (float4)(p[4].x, p[5].x, p[6].x, p[7].x));
  write_imagef(dstUV, (int2)(x, row), chroma_420(p));
}

__kernel void i420_GM_3DLut_tex3D(__read_only image2d_t srcY, __read_only image2d_t srcU,
                                  __read_only image2d_t srcV, __global const float4* lut, int n,
                                  __write_only image2d_t dstY, __write_only image2d_t dstU,
                                  __write_only image2d_t dstV) {
  const int x = get_global_id(0), row = get_global_id(1);
  if (row >= get_image_height(srcU)) return;
  const float4 top = read_imagef(srcY, kNearest, (int2)(x, 2 * row));
  const float4 bottom = read_imagef(srcY, kNearest, (int2)(x, 2 * row + 1));
  const float2 u = read_chroma_pair(srcU, x, row);
  const float2 v = read_chroma_pair(srcV, x, row);
  float4 p[8];
  grade8((float8)(top, bottom), (float8)(u.xxyy, u.xxyy), (float8)(v.xxyy, v.xxyy), lut, n, p);
  write_imagef(dstY, (int2)(x, 2 * row), (float4)(p[0].x, p[1].x, p[2].x, p[3].x));
  write_imagef(dstY, (int2)(x, 2 * row + 1), (float4)(p[4].x, p[5].x, p[6].x, p[7].x));
  const float4 c = chroma_420(p);
  write_chroma_pair(dstU, x, row, c.xz);
  write_chroma_pair(dstV, x, row, c.yw);
}

// YUY2 texels are Y0 Cb Y1 Cr; chroma is shared by pixel pairs.
INLINE float4 yuy2_texel(float4 a, float4 b) {
  const float2 c = (a.yz + b.yz) * 0.5f;
  return (float4)(a.x, c.x, b.x, c.y);
}

__kernel void yuy2_GM_3DLut_tex3D(__read_only image2d_t src, __global const float4* lut, int n,
                                  __write_only image2d_t dst) {
  const int x = get_global_id(0), row = get_global_id(1);
  if (2 * row >= get_image_height(src)) return;
  const float4 a = read_imagef(src, kNearest, (int2)(2 * x, 2 * row));
  const float4 b = read_imagef(src, kNearest, (int2)(2 * x + 1, 2 * row));
  const float4 c = read_imagef(src, kNearest, (int2)(2 * x, 2 * row + 1));
  const float4 d = read_imagef(src, kNearest, (int2)(2 * x + 1, 2 * row + 1));
  float4 p[8];
  grade8((float8)(a.x, a.z, b.x, b.z, c.x, c.z, d.x, d.z), (float8)(a.y, a.y, b.y, b.y, c.y, c.y, d.y, d.y),
         (float8)(a.w, a.w, b.w, b.w, c.w, c.w, d.w, d.w), lut, n, p);
  write_imagef(dst, (int2)(2 * x, 2 * row), yuy2_texel(p[0], p[1]));
  write_imagef(dst, (int2)(2 * x + 1, 2 * row), yuy2_texel(p[2], p[3]));
  write_imagef(dst, (int2)(2 * x, 2 * row + 1), yuy2_texel(p[4], p[5]));
  write_imagef(dst, (int2)(2 * x + 1, 2 * row + 1), yuy2_texel(p[6], p[7]));
}
