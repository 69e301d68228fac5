// Version-1 keyer kernels: closeness of each pixel's chroma to the key
// colour, the matte under the similarity threshold, the blend, and the
// half-size statistics that calibrate the threshold.
//
// Camera, background and output frames and the half-size copies are images
// (frame_images.h); closeness, matte and statistics are byte working planes
// (plane.cl.h).
#include "gpu_runtime/yuv_convention.h"

#include "plane.cl.h"
#include "blend.cl.h"

// ---- key colour -----------------------------------------------------------------

// Codes: 1 bright digital green, 2 studio chroma-key green, 3 chroma-key blue.
INLINE float3 key_rgb(int keyColor) {
  if (keyColor == 1) return (float3)(0.05f, 0.85f, 0.10f);
  if (keyColor == 3) return (float3)(0.05f, 0.25f, 0.75f);
  return (float3)(0.10f, 0.70f, 0.28f);
}

INLINE float2 chroma_of_rgb(float3 c) {
  const float yn = YUVC_KR * c.x + YUVC_KG * c.y + YUVC_KB * c.z;
  return (float2)((c.z - yn) / YUVC_B_PB, (c.x - yn) / YUVC_R_PR);
}

typedef struct {
  float2 dir;     // unit direction of the key chroma (Pb, Pr)
  float inverse;  // 1 / its length
} KeyChroma;

INLINE KeyChroma key_chroma(int keyColor) {
  const float2 k = chroma_of_rgb(key_rgb(keyColor));
  const float m = length(k);
  KeyChroma key = {k / m, 1.0f / m};
  return key;
}

// Closeness (1 at the key colour, 0 at neutral grey or beyond) of chroma
// codes read as 0..1. The distance counts a shortfall in saturation along the
// key direction at three quarters, so a backdrop in shadow, whose chroma
// shrinks towards grey, stays close to the key, while a hue away from it
// counts fully. Distances are relative to the key's own saturation.
INLINE float closeness(float cb, float cr, KeyChroma key) {
  const float2 c = ((float2)(cb, cr) * 255.0f - YUVC_C_OFFSET) * (1.0f / YUVC_C_RANGE);
  const float along = dot(c, key.dir);
  const float2 across = c - along * key.dir;
  const float shortfall = fmax(1.0f / key.inverse - along, 0.0f) * 0.75f;
  const float d = sqrt(dot(across, across) + shortfall * shortfall) * key.inverse;
  return clamp(1.0f - d, 0.0f, 1.0f);
}

// Frame grid (w/4, h): the four pixels of one Y texel, two chroma pairs.
__kernel void nv12_GM_getUVdistance(__read_only image2d_t Y, __read_only image2d_t UV, Plane alpha, int keyColor) {
  const int t = get_global_id(0), y = get_global_id(1);
  const KeyChroma key = key_chroma(keyColor);
  const float4 uv = read_imagef(UV, kNearest, (int2)(t, y / 2));
  const float c0 = closeness(uv.x, uv.y, key), c1 = closeness(uv.z, uv.w, key);
  store4(alpha, header(alpha), t, y, (float4)(c0, c0, c1, c1));
}

// Frame grid (w/4, h): two YUY2 texels, four pixels.
__kernel void yuy2_GM_getUVdistance(__read_only image2d_t src, Plane alpha, int keyColor) {
  const int t = get_global_id(0), y = get_global_id(1);
  const KeyChroma key = key_chroma(keyColor);
  const float4 a = read_imagef(src, kNearest, (int2)(2 * t, y)), b = read_imagef(src, kNearest, (int2)(2 * t + 1, y));
  const float c0 = closeness(a.y, a.w, key), c1 = closeness(b.y, b.w, key);
  store4(alpha, header(alpha), t, y, (float4)(c0, c0, c1, c1));
}

// ---- matte ----------------------------------------------------------------------

// Alpha of a closeness: 0 while the distance to the key is within the
// similarity, rising to 1 over a band of width 1 / smooth.
INLINE float4 alpha_of(float4 c, float similar, float smooth) {
  return clamp(((1.0f - c) - similar) * smooth, 0.0f, 1.0f);
}

// Alphas of pixels 4t-1 .. 4t+4 of a row with the [1 2 1] / 4 filter applied.
INLINE float4 alpha_row(CPlane src, int4 h, int t, int y, float similar, float smooth) {
  const float4 c = alpha_of(load4(src, h, t, y), similar, smooth);
  const float l = alpha_of((float4)load1(src, h, 4 * t - 1, y), similar, smooth).x;
  const float r = alpha_of((float4)load1(src, h, 4 * t + 4, y), similar, smooth).x;
  return (2.0f * c + (float4)(l, c.s012) + (float4)(c.s123, r)) * 0.25f;
}

// Frame grid (w/4, h): the matte of the closeness plane, smoothed 3 x 3
// (binomial) so that edges turn soft.
__kernel void nv12_GM_alpha_gaussBlur(CPlane closenessPlane, int w, int h, float similar, float smooth, Plane matte) {
  const int t = get_global_id(0), y = get_global_id(1);
  const int4 hc = header(closenessPlane);
  const float4 a = (alpha_row(closenessPlane, hc, t, max(y - 1, 0), similar, smooth) +
                    2.0f * alpha_row(closenessPlane, hc, t, y, similar, smooth) +
                    alpha_row(closenessPlane, hc, t, min(y + 1, h - 1), similar, smooth)) *
                   0.25f;
  store4(matte, header(matte), t, y, a);
}

// ---- blend ----------------------------------------------------------------------

// Grid (w/4, h/2): one 4 x 2 block per item.
__kernel void nv12_GM_blendForeAndBack(__read_only image2d_t Y, __read_only image2d_t UV, int w,
                                       __read_only image2d_t bY, __read_only image2d_t bUV, CPlane matte,
                                       __write_only image2d_t oY, __write_only image2d_t oUV, int keyColor) {
  blend_nv12_block(Y, UV, bY, bUV, matte, keyColor, oY, oUV, get_global_id(0), get_global_id(1));
}

// Grid (w/4, h/2): four pixels of two rows per item.
__kernel void yuy2_GM_blendForeAndBack(__read_only image2d_t src, __read_only image2d_t bg, CPlane matte,
                                       __write_only image2d_t out, int keyColor) {
  const int t = get_global_id(0), row = get_global_id(1);
  blend_yuy2_pixels(src, bg, matte, keyColor, out, t, 2 * row);
  blend_yuy2_pixels(src, bg, matte, keyColor, out, t, 2 * row + 1);
}

// ---- calibration: half-size copy and statistics ----------------------------------

// Hue (0..1 for 0..360 degrees), saturation, value and 1 of an RGB colour.
INLINE float4 hsv_of(float4 rgb) {
  const float mx = fmax(rgb.x, fmax(rgb.y, rgb.z)), mn = fmin(rgb.x, fmin(rgb.y, rgb.z));
  const float range = mx - mn;
  float hue = 0.0f;
  if (range > 0.0f) {
    if (mx == rgb.x)
      hue = (rgb.y - rgb.z) / range;
    else if (mx == rgb.y)
      hue = 2.0f + (rgb.z - rgb.x) / range;
    else
      hue = 4.0f + (rgb.x - rgb.y) / range;
    hue = hue < 0.0f ? hue + 6.0f : hue;
  }
  return (float4)(hue / 6.0f, mx > 0.0f ? range / mx : 0.0f, mx, 1.0f);
}

INLINE float mean4(float a, float b, float c, float d) { return (a + b + c + d) * 0.25f; }

// Half grid (half texels, half rows / 2): a 4 x 2 block of the half frame
// per item, from 8 x 4 camera pixels. Each half pixel covers exactly one
// camera chroma sample, which its HSV colour uses; each half chroma sample
// is the mean of four camera samples.
__kernel void nv12_OPT_subSampleHSV(__read_only image2d_t Y, __read_only image2d_t UV, __write_only image2d_t hY,
                                    __write_only image2d_t hUV, __write_only image2d_t hsv) {
  const int x = get_global_id(0), row = get_global_id(1);
  float4 c[2][2];  // camera chroma texels [row][texel]: samples 4x .. 4x+3 of chroma rows 2row, 2row+1
  for (int r = 0; r < 2; ++r)
    for (int i = 0; i < 2; ++i) c[r][i] = read_imagef(UV, kNearest, (int2)(2 * x + i, 2 * row + r));
  for (int r = 0; r < 2; ++r) {
    float4 l[2][2];  // camera luma texels [line][texel] of the two lines under half row 2row+r
    for (int k = 0; k < 2; ++k)
      for (int i = 0; i < 2; ++i) l[k][i] = read_imagef(Y, kNearest, (int2)(2 * x + i, 4 * row + 2 * r + k));
    const float4 luma = (float4)(mean4(l[0][0].x, l[0][0].y, l[1][0].x, l[1][0].y),
                                 mean4(l[0][0].z, l[0][0].w, l[1][0].z, l[1][0].w),
                                 mean4(l[0][1].x, l[0][1].y, l[1][1].x, l[1][1].y),
                                 mean4(l[0][1].z, l[0][1].w, l[1][1].z, l[1][1].w));
    write_imagef(hY, (int2)(x, 2 * row + r), luma);
    const float8 samples = (float8)(c[r][0], c[r][1]);  // Cb Cr of half pixels 4x .. 4x+3
    write_imagef(hsv, (int2)(4 * x, 2 * row + r), hsv_of(rgb_of(luma.x, samples.s0, samples.s1)));
    write_imagef(hsv, (int2)(4 * x + 1, 2 * row + r), hsv_of(rgb_of(luma.y, samples.s2, samples.s3)));
    write_imagef(hsv, (int2)(4 * x + 2, 2 * row + r), hsv_of(rgb_of(luma.z, samples.s4, samples.s5)));
    write_imagef(hsv, (int2)(4 * x + 3, 2 * row + r), hsv_of(rgb_of(luma.w, samples.s6, samples.s7)));
  }
  const float4 a = (c[0][0] + c[1][0]) * 0.5f, b = (c[0][1] + c[1][1]) * 0.5f;
  write_imagef(hUV, (int2)(x, row), (float4)((a.x + a.z) * 0.5f, (a.y + a.w) * 0.5f, (b.x + b.z) * 0.5f,
                                             (b.y + b.w) * 0.5f));
}

// Half grid (half texels, half rows): four half pixels (two half YUY2
// texels) per item, from 8 x 2 camera pixels.
__kernel void yuy2_OPT_subSampleHSV(__read_only image2d_t src, __write_only image2d_t hPacked,
                                    __write_only image2d_t hsv) {
  const int x = get_global_id(0), r = get_global_id(1);
  for (int j = 0; j < 2; ++j) {
    float4 p[2][2];  // camera texels [line][texel] under half texel 2x+j
    for (int k = 0; k < 2; ++k)
      for (int i = 0; i < 2; ++i) p[k][i] = read_imagef(src, kNearest, (int2)(4 * x + 2 * j + i, 2 * r + k));
    const float y0 = mean4(p[0][0].x, p[0][0].z, p[1][0].x, p[1][0].z);
    const float y1 = mean4(p[0][1].x, p[0][1].z, p[1][1].x, p[1][1].z);
    const float cb = mean4(p[0][0].y, p[0][1].y, p[1][0].y, p[1][1].y);
    const float cr = mean4(p[0][0].w, p[0][1].w, p[1][0].w, p[1][1].w);
    write_imagef(hPacked, (int2)(2 * x + j, r), (float4)(y0, cb, y1, cr));
    write_imagef(hsv, (int2)(4 * x + 2 * j, r), hsv_of(rgb_of(y0, cb, cr)));
    write_imagef(hsv, (int2)(4 * x + 2 * j + 1, r), hsv_of(rgb_of(y1, cb, cr)));
  }
}

// Statistics flags of one half pixel from its colour and its matte value:
//   bit 0: the colour looks like the backdrop (key hue, saturated, lit);
//   bit 2: such a pixel the matte keeps as foreground (alpha >= 1/2);
//   bit 3: a pixel that plainly is not backdrop (another hue, or grey) that
//          the matte removes (alpha < 1/2).
// Soft matte values on backdrop-like pixels, kept backdrop and holes in the
// subject all fall as the similarity approaches a good value.
#define FLAG_BACKDROP 1
#define FLAG_BACKDROP_KEPT 4
#define FLAG_SUBJECT_REMOVED 8

INLINE float hue_distance(float a, float b) {
  const float d = fabs(a - b);
  return fmin(d, 1.0f - d);
}

INLINE uchar flags_of(float4 hsv, float alpha, int keyColor) {
  const float keyHue = keyColor == 3 ? 0.61f : 0.37f;  // 220 and 135 degrees
  const float d = hue_distance(hsv.x, keyHue);
  const bool backdrop = d < 0.125f && hsv.y >= 0.2f && hsv.z >= 0.12f;
  const bool subject = d > 0.18f || hsv.y < 0.12f;
  uchar f = backdrop ? FLAG_BACKDROP : 0;
  if (backdrop && alpha >= 0.5f) f |= FLAG_BACKDROP_KEPT;
  if (subject && alpha < 0.5f) f |= FLAG_SUBJECT_REMOVED;
  return f;
}

INLINE void store_flags(__read_only image2d_t hsv, CPlane matte, Plane stats, int keyColor) {
  const int t = get_global_id(0), y = get_global_id(1);
  const int4 hs = header(stats);
  if (y >= hs.y || 4 * t >= hs.z) return;
  const float4 a = load4(matte, header(matte), t, y);
  const uchar4 f = (uchar4)(flags_of(read_imagef(hsv, kNearest, (int2)(4 * t, y)), a.x, keyColor),
                            flags_of(read_imagef(hsv, kNearest, (int2)(4 * t + 1, y)), a.y, keyColor),
                            flags_of(read_imagef(hsv, kNearest, (int2)(4 * t + 2, y)), a.z, keyColor),
                            flags_of(read_imagef(hsv, kNearest, (int2)(4 * t + 3, y)), a.w, keyColor));
  vstore4(f, 0, stats + PLANE_HEADER + y * hs.z + 4 * t);
}

// Half grid (half texels, half rows).
__kernel void nv12_OPT_statErrorFuncVal(__read_only image2d_t hY, __read_only image2d_t hUV,
                                        __read_only image2d_t hsv, CPlane matte, Plane stats, int keyColor) {
  store_flags(hsv, matte, stats, keyColor);
}

__kernel void yuy2_OPT_statErrorFuncVal(__read_only image2d_t hPacked, __read_only image2d_t hsv, CPlane matte,
                                        Plane stats, int keyColor) {
  store_flags(hsv, matte, stats, keyColor);
}
