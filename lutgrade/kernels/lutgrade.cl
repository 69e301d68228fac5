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
// are cheap, which is why the frames come as buffer copies of the host planes
// (packed rows, one byte per sample), the table is a buffer and the eight
// pixels of a block are converted together in float8 arithmetic.
#include "gpu_runtime/yuv_convention.h"

#define INLINE __attribute__((always_inline)) inline

#include "gpu_runtime/frame_bytes_cl.h"

// Codes 0..1 of eight pixels -> graded Y', Cb, Cr codes.
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

// The luma of the 4 x 2 block at item (x, row) of a frame w bytes wide.
#define BLOCK_PROLOGUE                                    \
  const int x = get_global_id(0), row = get_global_id(1); \
  if (row >= (int)get_global_size(1) / 2) return;         \
  const int w = 4 * (int)get_global_size(0), top = 2 * row * w + 4 * x, bottom = top + w

INLINE void store_luma(OutBytes Y, int top, int bottom, const float4* p) {
  store_codes4(Y + top, (float4)(p[0].x, p[1].x, p[2].x, p[3].x));
  store_codes4(Y + bottom, (float4)(p[4].x, p[5].x, p[6].x, p[7].x));
}

__kernel void nv12_GM_3DLut_tex3D(FrameBytes srcY, FrameBytes srcUV, __global const float4* lut, int n, OutBytes dstY,
                                  OutBytes dstUV) {
  BLOCK_PROLOGUE;
  const int chroma = row * w + 4 * x;
  const float4 c = load_codes4(srcUV + chroma);
  float4 p[8];
  grade8((float8)(load_codes4(srcY + top), load_codes4(srcY + bottom)), (float8)(c.xxzz, c.xxzz),
         (float8)(c.yyww, c.yyww), lut, n, p);
  store_luma(dstY, top, bottom, p);
  store_codes4(dstUV + chroma, chroma_420(p));
}

// Chroma pairs are gathered into the NV12 order Cb0 Cr0 Cb1 Cr1, so one
// conversion each way serves both planes.
__kernel void i420_GM_3DLut_tex3D(FrameBytes srcY, FrameBytes srcU, FrameBytes srcV, __global const float4* lut,
                                  int n, OutBytes dstY, OutBytes dstU, OutBytes dstV) {
  BLOCK_PROLOGUE;
  const int chroma = row * (w / 2) + 2 * x;
  const uchar2 u = vload2(0, srcU + chroma), v = vload2(0, srcV + chroma);
  const float4 c = convert_float4((uchar4)(u.x, v.x, u.y, v.y)) * (1.0f / 255.0f);
  float4 p[8];
  grade8((float8)(load_codes4(srcY + top), load_codes4(srcY + bottom)), (float8)(c.xxzz, c.xxzz),
         (float8)(c.yyww, c.yyww), lut, n, p);
  store_luma(dstY, top, bottom, p);
  const uchar4 out = convert_uchar4_sat_rte(chroma_420(p) * 255.0f);
  vstore2(out.xz, 0, dstU + chroma);
  vstore2(out.yw, 0, dstV + chroma);
}

// YUY2 texels are Y0 Cb Y1 Cr; chroma is shared by pixel pairs.
INLINE float4 yuy2_texel(float4 a, float4 b) {
  const float2 c = (a.yz + b.yz) * 0.5f;
  return (float4)(a.x, c.x, b.x, c.y);
}

// Rows of 2w bytes: the block's bytes start at 8x of rows 2*row and 2*row+1.
__kernel void yuy2_GM_3DLut_tex3D(FrameBytes src, __global const float4* lut, int n, OutBytes dst) {
  BLOCK_PROLOGUE;
  const int upper = 2 * top, lower = 2 * bottom;
  const float8 a = load_codes8(src + upper);
  const float8 c = load_codes8(src + lower);
  float4 p[8];
  grade8((float8)(a.s0246, c.s0246), (float8)(a.s1155, c.s1155), (float8)(a.s3377, c.s3377), lut, n, p);
  store_codes4(dst + upper, yuy2_texel(p[0], p[1]));
  store_codes4(dst + upper + 4, yuy2_texel(p[2], p[3]));
  store_codes4(dst + lower, yuy2_texel(p[4], p[5]));
  store_codes4(dst + lower + 4, yuy2_texel(p[6], p[7]));
}
