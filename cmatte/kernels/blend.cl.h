/* Blend helpers shared by the keyer programs: camera over background by the
 * matte, with the key colour's spill removed from edge chroma, and the
 * YCbCr to RGB conversion of one pixel. */
#ifndef CMATTE_BLEND_CL_H
#define CMATTE_BLEND_CL_H

#include "gpu_runtime/yuv_convention.h"
#include "plane.cl.h"

// Unit chroma direction (Pb, Pr) of the key colour; zero for no valid key.
INLINE float2 key_chroma_direction(int keyColor) {
  if (keyColor == 1 || keyColor == 2) return (float2)(-0.6471f, -0.7624f);  // green
  if (keyColor == 3) return (float2)(0.9958f, -0.0913f);                    // blue
  return (float2)(0.0f, 0.0f);
}

// Removes the part of the camera chroma that points towards the key colour,
// in proportion to how much of the backdrop shows through (spill on edges).
INLINE float2 despill(float2 chroma, float alpha, float2 dir) {
  const float2 c = chroma - 128.0f / 255.0f;
  const float towards = fmax(dot(c, dir), 0.0f);
  const float strength = clamp((1.0f - alpha) * 4.0f, 0.0f, 1.0f);
  return chroma - dir * towards * strength;
}

INLINE float4 mix4(float4 bg, float4 cam, float4 alpha) { return bg + (cam - bg) * alpha; }

// Blends a 4 x 2 block whose two chroma pairs belong to the 2 x 2 halves;
// the chroma alpha is the mean of the block half's four alphas.
INLINE void blend_block(float4* y0, float4* y1, float2* cb, float2* cr, float4 by0, float4 by1, float2 bcb,
                        float2 bcr, float4 a0, float4 a1, int keyColor) {
  const float2 dir = key_chroma_direction(keyColor);
  const float2 ca = (float2)(a0.x + a0.y + a1.x + a1.y, a0.z + a0.w + a1.z + a1.w) * 0.25f;
  float2 c0 = despill((float2)(cb->x, cr->x), ca.x, dir);
  float2 c1 = despill((float2)(cb->y, cr->y), ca.y, dir);
  *y0 = mix4(by0, *y0, a0);
  *y1 = mix4(by1, *y1, a1);
  *cb = (float2)(bcb.x + (c0.x - bcb.x) * ca.x, bcb.y + (c1.x - bcb.y) * ca.y);
  *cr = (float2)(bcr.x + (c0.y - bcr.x) * ca.x, bcr.y + (c1.y - bcr.y) * ca.y);
}

// One YUY2 texel (two pixels sharing a chroma pair) over its background
// texel; the chroma takes the pair's mean alpha.
INLINE float4 blend_yuy2_texel(float4 c, float4 b, float2 pa, float2 dir) {
  const float ca = (pa.x + pa.y) * 0.5f;
  const float2 chroma = despill(c.s13, ca, dir);
  return (float4)(b.x + (c.x - b.x) * pa.x, b.y + (chroma.x - b.y) * ca, b.z + (c.z - b.z) * pa.y,
                  b.w + (chroma.y - b.w) * ca);
}

// Whether every alpha is (within rounding of 8-bit codes) 0, or every one 1:
// such blocks are plain copies of one frame, and image reads are costly.
INLINE bool all_zero(float4 a, float4 b) { return all(a < 0.5f / 255.0f) && all(b < 0.5f / 255.0f); }
INLINE bool all_one(float4 a, float4 b) { return all(a > 254.5f / 255.0f) && all(b > 254.5f / 255.0f); }

INLINE void copy_nv12_block(__read_only image2d_t Y, __read_only image2d_t UV, __write_only image2d_t oY,
                            __write_only image2d_t oUV, int x, int row) {
  write_imagef(oY, (int2)(x, 2 * row), read_imagef(Y, kNearest, (int2)(x, 2 * row)));
  write_imagef(oY, (int2)(x, 2 * row + 1), read_imagef(Y, kNearest, (int2)(x, 2 * row + 1)));
  write_imagef(oUV, (int2)(x, row), read_imagef(UV, kNearest, (int2)(x, row)));
}

// The 4 x 2 block at texel x of rows 2*row and 2*row+1 of an NV12 frame.
INLINE void blend_nv12_block(__read_only image2d_t Y, __read_only image2d_t UV, __read_only image2d_t bY,
                             __read_only image2d_t bUV, CPlane matte, int keyColor, __write_only image2d_t oY,
                             __write_only image2d_t oUV, int x, int row) {
  const int4 ha = header(matte);
  const float4 a0 = load4(matte, ha, x, 2 * row), a1 = load4(matte, ha, x, 2 * row + 1);
  if (all_zero(a0, a1)) {
    copy_nv12_block(bY, bUV, oY, oUV, x, row);
    return;
  }
  if (all_one(a0, a1)) {
    copy_nv12_block(Y, UV, oY, oUV, x, row);
    return;
  }
  float4 y0 = read_imagef(Y, kNearest, (int2)(x, 2 * row)), y1 = read_imagef(Y, kNearest, (int2)(x, 2 * row + 1));
  const float4 uv = read_imagef(UV, kNearest, (int2)(x, row)), buv = read_imagef(bUV, kNearest, (int2)(x, row));
  float2 cb = uv.s02, cr = uv.s13;
  blend_block(&y0, &y1, &cb, &cr, read_imagef(bY, kNearest, (int2)(x, 2 * row)),
              read_imagef(bY, kNearest, (int2)(x, 2 * row + 1)), buv.s02, buv.s13, a0, a1, keyColor);
  write_imagef(oY, (int2)(x, 2 * row), y0);
  write_imagef(oY, (int2)(x, 2 * row + 1), y1);
  write_imagef(oUV, (int2)(x, row), (float4)(cb.x, cr.x, cb.y, cr.y));
}

// Pixels 4t .. 4t+3 (two YUY2 texels) of row y.
INLINE void blend_yuy2_pixels(__read_only image2d_t src, __read_only image2d_t bg, CPlane matte, int keyColor,
                              __write_only image2d_t out, int t, int y) {
  const float4 a = load4(matte, header(matte), t, y);
  if (all_zero(a, a) || all_one(a, a)) {
    for (int i = 0; i < 2; ++i) {
      const int2 at = (int2)(2 * t + i, y);
      write_imagef(out, at, a.x > 0.5f ? read_imagef(src, kNearest, at) : read_imagef(bg, kNearest, at));
    }
    return;
  }
  const float2 dir = key_chroma_direction(keyColor);
  for (int i = 0; i < 2; ++i) {
    const float4 c = read_imagef(src, kNearest, (int2)(2 * t + i, y));
    const float4 b = read_imagef(bg, kNearest, (int2)(2 * t + i, y));
    write_imagef(out, (int2)(2 * t + i, y), blend_yuy2_texel(c, b, i == 0 ? a.s01 : a.s23, dir));
  }
}

INLINE float4 rgb_of(float y, float cb, float cr) {
  const float yn = (y * 255.0f - YUVC_Y_OFFSET) * (1.0f / YUVC_Y_RANGE);
  const float pb = (cb * 255.0f - YUVC_C_OFFSET) * (1.0f / YUVC_C_RANGE);
  const float pr = (cr * 255.0f - YUVC_C_OFFSET) * (1.0f / YUVC_C_RANGE);
  return (float4)(clamp((float3)(yn + YUVC_R_PR * pr, yn + YUVC_G_PB * pb + YUVC_G_PR * pr, yn + YUVC_B_PB * pb),
                        0.0f, 1.0f),
                  1.0f);
}

#endif
