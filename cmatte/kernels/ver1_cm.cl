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

// Unit chroma direction (Pb, Pr) and length of the key colours: code 1 bright
// digital green RGB (0.05, 0.85, 0.10), code 2 studio chroma-key green
// (0.10, 0.70, 0.28), code 3 chroma-key blue (0.05, 0.25, 0.75), in the
// convention of yuv_convention.h.
typedef struct {
  float2 dir;
  float length;
} KeyChroma;

__constant float kKeyChroma[3][3] = {
    {-0.612559f, -0.790425f, 0.462555f}, {-0.449464f, -0.893298f, 0.314278f}, {0.911781f, -0.410676f, 0.299320f}};

INLINE KeyChroma key_chroma(int keyColor) {
  const int i = keyColor >= 1 && keyColor <= 3 ? keyColor - 1 : 1;
  KeyChroma key = {(float2)(kKeyChroma[i][0], kKeyChroma[i][1]), kKeyChroma[i][2]};
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
  const float shortfall = fmax(key.length - along, 0.0f) * 0.75f;
  const float d = sqrt(dot(across, across) + shortfall * shortfall) / key.length;
  return clamp(1.0f - d, 0.0f, 1.0f);
}

// Frame grid (w/4, h): the four pixels of one Y texel, two chroma pairs.
// Both rows of a chroma sample are written by the item of the even row.
__kernel void nv12_GM_getUVdistance(__read_only image2d_t Y, __read_only image2d_t UV, Plane alpha, int keyColor) {
  const int t = get_global_id(0), y = get_global_id(1);
  if (y & 1) return;
  const KeyChroma key = key_chroma(keyColor);
  const float4 uv = read_imagef(UV, kNearest, (int2)(t, y / 2));
  const float c0 = closeness(uv.x, uv.y, key), c1 = closeness(uv.z, uv.w, key);
  const int4 ha = header(alpha);
  store4(alpha, ha, t, y, (float4)(c0, c0, c1, c1));
  store4(alpha, ha, t, y + 1, (float4)(c0, c0, c1, c1));
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
// (binomial) so that edges turn soft. The item of every MATTE_ROWS-th row
// filters that many rows, reusing the alphas of the rows it shares.
#define MATTE_ROWS 4

__kernel void nv12_GM_alpha_gaussBlur(CPlane closenessPlane, int w, int h, float similar, float smooth, Plane matte) {
  const int t = get_global_id(0), first = get_global_id(1);
  if (first % MATTE_ROWS) return;
  const int4 hc = header(closenessPlane), hm = header(matte);
  const int last = min(first + MATTE_ROWS, hc.y) - 1;
  float4 above = alpha_row(closenessPlane, hc, t, max(first - 1, 0), similar, smooth);
  float4 here = alpha_row(closenessPlane, hc, t, first, similar, smooth);
  for (int y = first; y <= last; ++y) {
    const float4 below = alpha_row(closenessPlane, hc, t, min(y + 1, hc.y - 1), similar, smooth);
    store4(matte, hm, t, y, (above + 2.0f * here + below) * 0.25f);
    above = here;
    here = below;
  }
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
