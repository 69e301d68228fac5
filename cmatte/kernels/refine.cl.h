/* Kernels of the version-2 keyer's opt-in refinements: segmentation that
 * keeps detail close to the key colour, matte levels and rectangles, the
 * local backdrop colour and the blend that removes it. Included by the
 * version-2 program after its own helpers. */
#ifndef CMATTE_REFINE_CL_H
#define CMATTE_REFINE_CL_H

#include "blend.cl.h"
#include "gpu_runtime/frame_bytes_cl.h"
#include "plane.cl.h"

// ---- detail keep --------------------------------------------------------------

// How near (in pixels) a clear backdrop value makes a pixel between the two
// thresholds backdrop. Only the pixels touching clear backdrop: a wider reach
// cuts detail off where it meets the rim (stripe ends, strands of hair).
#define KEEP_RADIUS 1

// Half the width of the window over which v2_matte_trimap holds the matte. A
// 3 x 3 window leaves the guided filter's soft band only where the edge is;
// wider ones widen that band on hard edges, none lets noise and misjudged
// pixels through.
#define HOLD_RADIUS 1

// Frame grid: backdrop where the key value exceeds `threshold` on a bright
// pixel, except that values up to `clear` (the lower edge of the backdrop's
// histogram peak) count only with a value above `clear` within KEEP_RADIUS
// pixels.
__kernel void v2_segment_keep(CPlane K, CPlane S, Plane M, float threshold, float clear) {
  const int t = get_global_id(0), y = get_global_id(1);
  const int4 hk = header(K);
  const float4 k = load4(K, hk, t, y);
  int4 backdrop = isgreater(k, (float4)threshold) & isgreater(load4(S, header(S), t, y), (float4)0.08f);
  const int4 unsure = backdrop & islessequal(k, (float4)clear);
  if (any(unsure)) {
    // Bit i: a clear backdrop value in column 4t-4+i of rows y-r .. y+r.
    uint columns = 0;
    for (int dy = -KEEP_RADIUS; dy <= KEEP_RADIUS; ++dy)
      for (int i = 4 - KEEP_RADIUS; i < 8 + KEEP_RADIUS; ++i)
        if (load1(K, hk, 4 * t - 4 + i, y + dy) > clear) columns |= 1u << i;
    // Pixel 4t+j sees columns 4+j-r .. 4+j+r.
    const uint window = (1u << (2 * KEEP_RADIUS + 1)) - 1u;
    const int4 near = (int4)((columns >> (4 - KEEP_RADIUS)) & window, (columns >> (5 - KEEP_RADIUS)) & window,
                             (columns >> (6 - KEEP_RADIUS)) & window, (columns >> (7 - KEEP_RADIUS)) & window) != 0;
    backdrop &= ~unsure | near;
  }
  store4(M, header(M), t, y, select((float4)1.0f, (float4)0.0f, backdrop));
}

// Frame grid, in place on the float matte: 1 where the segmentation is
// subject over the whole window of HOLD_RADIUS around the pixel, 0 where the
// key value is clear backdrop (above `clear`) over the whole window. (The guided filter
// fits alpha linearly to K over wide windows; with kept detail between the
// subject's other colours and the backdrop in K, that fit leaves holes inside
// and a haze outside.)
__kernel void v2_matte_trimap(Plane A, CPlane M, CPlane K, float clear) {
  const int t = get_global_id(0), y = get_global_id(1);
  const int4 ha = header(A), hm = header(M), hk = header(K);
  const float4 a = load4(A, ha, t, y);
  // Within half a code of 0 where no pixel is subject, or of 1 where none is
  // clear backdrop: the 8-bit matte cannot change (most of a frame).
  if ((all(a < 0.5f / 255.0f) && all(load4(M, hm, t, y) < 0.5f)) ||
      (all(a > 254.5f / 255.0f) && !any(isgreater(load4(K, hk, t, y), (float4)clear))))
    return;
  // Columns 4t-r .. 4t+3+r over rows y-r .. y+r.
  float subject[4 + 2 * HOLD_RADIUS], backdrop[4 + 2 * HOLD_RADIUS];
  for (int i = 0; i < 4 + 2 * HOLD_RADIUS; ++i) subject[i] = backdrop[i] = 1.0f;
  for (int dy = -HOLD_RADIUS; dy <= HOLD_RADIUS; ++dy)
    for (int i = 0; i < 4 + 2 * HOLD_RADIUS; ++i) {
      subject[i] = fmin(subject[i], load1(M, hm, 4 * t - HOLD_RADIUS + i, y + dy));
      backdrop[i] = fmin(backdrop[i], load1(K, hk, 4 * t - HOLD_RADIUS + i, y + dy) > clear ? 1.0f : 0.0f);
    }
  float inside[4], outside[4];
  for (int j = 0; j < 4; ++j) {
    inside[j] = outside[j] = 1.0f;
    for (int i = j; i <= j + 2 * HOLD_RADIUS; ++i) {
      inside[j] = fmin(inside[j], subject[i]);
      outside[j] = fmin(outside[j], backdrop[i]);
    }
  }
  store4(A, ha, t, y,
         clamp(a, (float4)(inside[0], inside[1], inside[2], inside[3]),
               1.0f - (float4)(outside[0], outside[1], outside[2], outside[3])));
}

// ---- matte levels and rectangles ------------------------------------------------

INLINE int4 inside(int4 x, int y, int rx, int ry, int rw, int rh) {
  return (x >= rx) & (x < rx + rw) & (int4)(y >= ry && y < ry + rh ? -1 : 0);
}

// Frame grid, in place on the float matte: levels from clipBlack..clipWhite
// to 0..1, backdrop outside the garbage rectangle, subject inside the holdout
// rectangle (a rectangle of width 0 is none).
__kernel void v2_matte_adjust(Plane A, float clipBlack, float clipWhite, int gx, int gy, int gw, int gh, int hx,
                              int hy, int hw, int hh) {
  const int t = get_global_id(0), y = get_global_id(1);
  const int4 ha = header(A);
  float4 a = clamp((load4(A, ha, t, y) - clipBlack) / (clipWhite - clipBlack), 0.0f, 1.0f);
  const int4 x = 4 * t + (int4)(0, 1, 2, 3);
  if (gw > 0) a = select((float4)0.0f, a, inside(x, y, gx, gy, gw, gh));
  if (hw > 0) a = select(a, (float4)1.0f, inside(x, y, hx, hy, hw, hh));
  store4(A, ha, t, y, a);
}

// ---- local backdrop colour ------------------------------------------------------

// Y, Cb, Cr of pixel (x, y) of a frame of width w.
INLINE float3 nv12_sample(FrameBytes Y, FrameBytes UV, int w, int x, int y) {
  const int c = (y / 2) * w + (x & ~1);
  return (float3)(Y[y * w + x], UV[c], UV[c + 1]) * (1.0f / 255.0f);
}
INLINE float3 i420_sample(FrameBytes Y, FrameBytes U, FrameBytes V, int w, int x, int y) {
  const int c = (y / 2) * (w / 2) + x / 2;
  return (float3)(Y[y * w + x], U[c], V[c]) * (1.0f / 255.0f);
}
INLINE float3 yuy2_sample(FrameBytes src, int w, int x, int y) {
  const int pair = y * 2 * w + (x & ~1) * 2;
  return (float3)(src[y * 2 * w + 2 * x], src[pair + 1], src[pair + 3]) * (1.0f / 255.0f);
}

// Quarter grid ((qw + 3) / 4, qh): per quarter pixel whose 4 x 4 block the
// segmentation calls backdrop throughout (Mq 0), the colour Y, Cb, Cr of one
// pixel of the block when its alpha is below 0.02, and a count of 1; zeros
// elsewhere. Box means of these over wide windows give the local backdrop
// colour; one sample per block is plenty for a mean over hundreds of blocks.
#define BACKDROP_SUMS(FETCH)                                                                    \
  const int t = get_global_id(0), qy = get_global_id(1);                                       \
  const int4 ha = header(A8), hq = header(BY);                                                 \
  const float4 m = load4(Mq, header(Mq), t, qy);                                               \
  float sy[4], scb[4], scr[4], n[4];                                                           \
  for (int i = 0; i < 4; ++i) {                                                                \
    const int x = min(16 * t + 4 * i + 1, w - 1), y = min(4 * qy + 1, h - 1);                  \
    const float mi = i == 0 ? m.x : i == 1 ? m.y : i == 2 ? m.z : m.w;                         \
    const bool use = mi < 0.5f / 255.0f && load1(A8, ha, x, y) < 0.02f;                        \
    const float3 s = use ? FETCH : (float3)(0.0f);                                             \
    sy[i] = s.x;                                                                               \
    scb[i] = s.y;                                                                              \
    scr[i] = s.z;                                                                              \
    n[i] = use ? 1.0f : 0.0f;                                                                  \
  }                                                                                            \
  store4(BY, hq, t, qy, (float4)(sy[0], sy[1], sy[2], sy[3]));                                 \
  store4(BCb, hq, t, qy, (float4)(scb[0], scb[1], scb[2], scb[3]));                            \
  store4(BCr, hq, t, qy, (float4)(scr[0], scr[1], scr[2], scr[3]));                            \
  store4(Bn, hq, t, qy, (float4)(n[0], n[1], n[2], n[3]))

__kernel void nv12_backdrop_sums(FrameBytes Y, FrameBytes UV, CPlane A8, CPlane Mq, int w, int h, Plane BY, Plane BCb,
                                 Plane BCr, Plane Bn) {
  BACKDROP_SUMS(nv12_sample(Y, UV, w, x, y));
}
__kernel void i420_backdrop_sums(FrameBytes Y, FrameBytes U, FrameBytes V, CPlane A8, CPlane Mq, int w, int h, Plane BY,
                                 Plane BCb, Plane BCr, Plane Bn) {
  BACKDROP_SUMS(i420_sample(Y, U, V, w, x, y));
}
__kernel void yuy2_backdrop_sums(FrameBytes src, CPlane A8, CPlane Mq, int w, int h, Plane BY, Plane BCb, Plane BCr,
                                 Plane Bn) {
  BACKDROP_SUMS(yuy2_sample(src, w, x, y));
}

// The local backdrop colour at quarter pixel (qx, qy) from the smoothed sums;
// false where no backdrop pixel lies near.
INLINE bool backdrop_at(CPlane BY, CPlane BCb, CPlane BCr, CPlane Bn, int qx, int qy, float3* b) {
  const int4 hq = header(BY);
  const float n = load1(Bn, hq, qx, qy);
  if (n < 1.0e-3f) return false;
  *b = (float3)(load1(BY, hq, qx, qy), load1(BCb, hq, qx, qy), load1(BCr, hq, qx, qy)) / n;
  return true;
}

// ---- refined blend ---------------------------------------------------------------

typedef struct {
  float spill;    // strength of the edge spill removal
  int haveBackdrop;  // unmix with `backdrop`
  float3 backdrop;
  float2 dir;     // key chroma direction
} Refine;

// Alpha times this factor, up to 1, is the unmixed share of the composite.
#define kUnmixFade 10.0f

// Spill removal strength for a chroma sample of alpha a whose surroundings
// (within the spill range) have the mean alpha `near`.
INLINE float spill_strength(float a, float near, float spill) {
  return clamp((1.0f - fmin(a, near)) * 4.0f * spill, 0.0f, 1.0f);
}

INLINE float2 remove_spill(float2 chroma, float2 neutral, float strength, float2 dir) {
  return chroma - dir * fmax(dot(chroma - neutral, dir), 0.0f) * strength;
}

// One chroma sample (Cb, Cr) of alpha ca over background chroma bc.
INLINE float2 refine_chroma(float2 c, float2 bc, float ca, float cn, const Refine* r) {
  const float strength = spill_strength(ca, cn, r->spill);
  if (!r->haveBackdrop) {
    const float2 f = remove_spill(c, (float2)(128.0f / 255.0f), strength, r->dir);
    return bc + (f - bc) * ca;
  }
  // Nearly clear pixels fade to the plain mix: noise and a misjudged
  // backdrop colour would otherwise show through them.
  const float2 f = c - (1.0f - ca) * r->backdrop.yz;  // the subject's share
  const float2 unmixed =
      clamp(remove_spill(f, (float2)(ca * 128.0f / 255.0f), strength, r->dir) + (1.0f - ca) * bc, 0.0f, 1.0f);
  const float2 mixed = bc + (remove_spill(c, (float2)(128.0f / 255.0f), strength, r->dir) - bc) * ca;
  return mix(mixed, unmixed, clamp(ca * kUnmixFade, 0.0f, 1.0f));
}

INLINE float4 refine_luma(float4 y, float4 by, float4 a, const Refine* r) {
  if (!r->haveBackdrop) return mix4(by, y, a);
  const float4 unmixed = clamp(y + (1.0f - a) * (by - r->backdrop.x), 0.0f, 1.0f);
  return mix(mix4(by, y, a), unmixed, clamp(a * kUnmixFade, 0.0f, 1.0f));
}

// A 4 x 2 block with the chroma pairs of its 2 x 2 halves (NV12, I420).
INLINE void refine_block(float4* y0, float4* y1, float2* cb, float2* cr, float4 by0, float4 by1, float2 bcb,
                         float2 bcr, float4 a0, float4 a1, float4 n0, float4 n1, const Refine* r) {
  const float2 ca = (float2)(a0.x + a0.y + a1.x + a1.y, a0.z + a0.w + a1.z + a1.w) * 0.25f;
  const float2 cn = (float2)(n0.x + n0.y + n1.x + n1.y, n0.z + n0.w + n1.z + n1.w) * 0.25f;
  const float2 c0 = refine_chroma((float2)(cb->x, cr->x), (float2)(bcb.x, bcr.x), ca.x, cn.x, r);
  const float2 c1 = refine_chroma((float2)(cb->y, cr->y), (float2)(bcb.y, bcr.y), ca.y, cn.y, r);
  *y0 = refine_luma(*y0, by0, a0, r);
  *y1 = refine_luma(*y1, by1, a1, r);
  *cb = (float2)(c0.x, c1.x);
  *cr = (float2)(c0.y, c1.y);
}

INLINE Refine make_refine(int keyColor, float spill, int unmix, CPlane BY, CPlane BCb, CPlane BCr, CPlane Bn,
                          int qx, int qy) {
  Refine r;
  r.spill = spill;
  r.dir = key_chroma_direction(keyColor);
  r.backdrop = (float3)(0.0f);
  r.haveBackdrop = unmix && backdrop_at(BY, BCb, BCr, Bn, qx, qy, &r.backdrop);
  return r;
}

// Which frame a block copies: 0 background, 1 camera (opaque and, with a
// spill range, no edge near), -1 blend.
INLINE int refined_copy(float4 a0, float4 a1, float4 n0, float4 n1) {
  if (all_zero(a0, a1)) return 0;
  return all_one(a0, a1) && all_one(n0, n1) ? 1 : -1;
}

// The matte and its surroundings of the 4 x 2 block at texel x of rows
// 2*row and 2*row+1, and which frame the block copies.
INLINE int refined_block_matte(CPlane A8, CPlane An, int x, int row, float4* a0, float4* a1, float4* n0,
                               float4* n1) {
  const int4 ha = header(A8), hn = header(An);
  *a0 = load4(A8, ha, x, 2 * row);
  *a1 = load4(A8, ha, x, 2 * row + 1);
  *n0 = load4(An, hn, x, 2 * row);
  *n1 = load4(An, hn, x, 2 * row + 1);
  return refined_copy(*a0, *a1, *n0, *n1);
}

#define REFINE_ARGS                                                                                        \
  CPlane A8, CPlane An, CPlane BY, CPlane BCb, CPlane BCr, CPlane Bn, int keyColor, float spill, int unmix

// Grid (w/4, h/2), as nv12_GM_blendForeAndBack.
__kernel void nv12_refined_blend(FrameBytes Y, FrameBytes UV, FrameBytes bY, FrameBytes bUV, REFINE_ARGS,
                                 OutBytes oY, OutBytes oUV) {
  const int x = get_global_id(0), row = get_global_id(1), w = 4 * (int)get_global_size(0);
  const int top = 2 * row * w + 4 * x, chroma = row * w + 4 * x;
  float4 a0, a1, n0, n1;
  const int copy = refined_block_matte(A8, An, x, row, &a0, &a1, &n0, &n1);
  if (copy >= 0) {
    copy_luma_block(copy ? Y : bY, oY, top, w);
    vstore4(vload4(0, (copy ? UV : bUV) + chroma), 0, oUV + chroma);
    return;
  }
  const Refine r = make_refine(keyColor, spill, unmix, BY, BCb, BCr, Bn, x, row / 2);
  float4 y0 = load_codes4(Y + top), y1 = load_codes4(Y + top + w);
  const float4 uv = load_codes4(UV + chroma), buv = load_codes4(bUV + chroma);
  float2 cb = uv.s02, cr = uv.s13;
  refine_block(&y0, &y1, &cb, &cr, load_codes4(bY + top), load_codes4(bY + top + w), buv.s02, buv.s13, a0, a1, n0,
               n1, &r);
  store_codes4(oY + top, y0);
  store_codes4(oY + top + w, y1);
  store_codes4(oUV + chroma, (float4)(cb.x, cr.x, cb.y, cr.y));
}

// Frame grid (w/4, h), as i420_GM_blendForeAndBack.
__kernel void i420_refined_blend(FrameBytes Y, FrameBytes U, FrameBytes V, FrameBytes bY, FrameBytes bU,
                                 FrameBytes bV, REFINE_ARGS, OutBytes oY, OutBytes oU, OutBytes oV) {
  const int x = get_global_id(0), row = get_global_id(1), w = 4 * (int)get_global_size(0);
  if (row >= (int)get_global_size(1) / 2) return;
  const int top = 2 * row * w + 4 * x, chroma = row * (w / 2) + 2 * x;
  float4 a0, a1, n0, n1;
  const int copy = refined_block_matte(A8, An, x, row, &a0, &a1, &n0, &n1);
  if (copy >= 0) {
    copy_luma_block(copy ? Y : bY, oY, top, w);
    vstore2(vload2(0, (copy ? U : bU) + chroma), 0, oU + chroma);
    vstore2(vload2(0, (copy ? V : bV) + chroma), 0, oV + chroma);
    return;
  }
  const Refine r = make_refine(keyColor, spill, unmix, BY, BCb, BCr, Bn, x, row / 2);
  float4 y0 = load_codes4(Y + top), y1 = load_codes4(Y + top + w);
  float2 cb = load_codes2(U + chroma), cr = load_codes2(V + chroma);
  refine_block(&y0, &y1, &cb, &cr, load_codes4(bY + top), load_codes4(bY + top + w), load_codes2(bU + chroma),
               load_codes2(bV + chroma), a0, a1, n0, n1, &r);
  store_codes4(oY + top, y0);
  store_codes4(oY + top + w, y1);
  store_codes2(oU + chroma, cb);
  store_codes2(oV + chroma, cr);
}

// One YUY2 texel over its background texel; the pair's mean alpha for chroma.
INLINE float4 refine_yuy2_texel(float4 c, float4 b, float2 pa, float2 pn, const Refine* r) {
  const float2 chroma = refine_chroma(c.s13, b.s13, (pa.x + pa.y) * 0.5f, (pn.x + pn.y) * 0.5f, r);
  const float4 luma = refine_luma((float4)(c.x, c.z, 0.0f, 0.0f), (float4)(b.x, b.z, 0.0f, 0.0f),
                                  (float4)(pa, 0.0f, 0.0f), r);
  return (float4)(luma.x, chroma.x, luma.y, chroma.y);
}

// Frame grid (w/4, h), as yuy2_GM_blendForeAndBack.
__kernel void yuy2_refined_blend(FrameBytes src, FrameBytes bg, REFINE_ARGS, OutBytes out) {
  const int t = get_global_id(0), y = get_global_id(1), at = 8 * t + 8 * y * (int)get_global_size(0);
  const float4 a = load4(A8, header(A8), t, y), n = load4(An, header(An), t, y);
  const int copy = refined_copy(a, a, n, n);
  if (copy >= 0) {
    vstore8(vload8(0, (copy ? src : bg) + at), 0, out + at);
    return;
  }
  const Refine r = make_refine(keyColor, spill, unmix, BY, BCb, BCr, Bn, t, y / 4);
  const float8 c = load_codes8(src + at), b = load_codes8(bg + at);
  store_codes4(out + at, refine_yuy2_texel(c.lo, b.lo, a.s01, n.s01, &r));
  store_codes4(out + at + 4, refine_yuy2_texel(c.hi, b.hi, a.s23, n.s23, &r));
}

#endif
