// Version-2 keyer kernels: key channel in CIE L*a*b*, key histogram,
// segmentation, guided-filter arithmetic at quarter resolution, matte
// smoothing and the blend.
//
// The launched kernels take camera, background and output frames as buffer
// copies of the host planes (frame_bytes_cl.h). Every working plane (key K,
// companion S, mask M, alpha, half and quarter key, the guided-filter planes)
// is a buffer with a header (plane.cl.h): it lets one kernel take byte or
// float planes of any size, as the host passes only the handles, and on CPU
// devices buffer loads are far cheaper than image reads.
#include "blend.cl.h"  // first: it brings plane.cl.h, which defines INLINE
#include "gpu_runtime/frame_bytes_cl.h"
#include "gpu_runtime/yuv_convention.h"
#include "plane.cl.h"

#define TABLE_SIZE 512

// ---- colour -----------------------------------------------------------------

typedef struct {
  __local float* lin;
  __local float* lab;
} Tables;

// Copies the two 512-entry tables into local memory once per work-group.
INLINE Tables load_tables(__read_only image2d_t linImage, __read_only image2d_t labImage, __local float* lin,
                          __local float* lab) {
  const int items = (int)(get_local_size(0) * get_local_size(1));
  for (int i = (int)(get_local_id(1) * get_local_size(0) + get_local_id(0)); i < TABLE_SIZE; i += items) {
    lin[i] = read_imagef(linImage, kNearest, (int2)(i, 0)).x;
    lab[i] = read_imagef(labImage, kNearest, (int2)(i, 0)).x;
  }
  barrier(CLK_LOCAL_MEM_FENCE);
  Tables t = {lin, lab};
  return t;
}

// Table entry i holds the curve at i / 512; linear in between. Eight values
// at once: on CPU devices the arithmetic then runs in vector registers.
INLINE float8 curve8(__local const float* table, float8 x) {
  const float8 p = clamp(x, 0.0f, 1.0f) * (float)TABLE_SIZE;
  const int8 i = min(convert_int8(p), TABLE_SIZE - 2);
  const float8 f = p - convert_float8(i);
  float8 lo, hi;
#define GATHER(k)             \
  lo.s##k = table[i.s##k];    \
  hi.s##k = table[i.s##k + 1]
  GATHER(0);
  GATHER(1);
  GATHER(2);
  GATHER(3);
  GATHER(4);
  GATHER(5);
  GATHER(6);
  GATHER(7);
#undef GATHER
  return mix(lo, hi, f);
}

// Key modes: 0 studio green, 1 bright digital green, 2 blue.
#define KEY_GREEN 0
#define KEY_DIGITAL_GREEN 1
#define KEY_BLUE 2

typedef struct {
  float8 key;        // 0..1: how far the colour lies towards the key colour along a* or b*
  float8 lightness;  // L* / 100
} Key8;

// Eight pixels, codes 0..1 as read from UNORM images.
INLINE Key8 key8(float8 y, float8 cb, float8 cr, int mode, Tables t) {
  const float8 yn = (y * 255.0f - YUVC_Y_OFFSET) * (1.0f / YUVC_Y_RANGE);
  const float8 pb = (cb * 255.0f - YUVC_C_OFFSET) * (1.0f / YUVC_C_RANGE);
  const float8 pr = (cr * 255.0f - YUVC_C_OFFSET) * (1.0f / YUVC_C_RANGE);
  const float8 r = curve8(t.lin, yn + YUVC_R_PR * pr);
  const float8 g = curve8(t.lin, yn + YUVC_G_PB * pb + YUVC_G_PR * pr);
  const float8 b = curve8(t.lin, yn + YUVC_B_PB * pb);
  // Linear RGB (BT.709 primaries) to XYZ relative to the D65 white.
  const float8 fy = curve8(t.lab, 0.2126729f * r + 0.7151522f * g + 0.0721750f * b);
  float8 key;
  if (mode == KEY_BLUE) {
    const float8 fz = curve8(t.lab, (0.0193339f * r + 0.1191920f * g + 0.9503041f * b) * (1.0f / 1.08883f));
    key = (fy - fz) * (-200.0f * 3.0f);
  } else {
    const float8 fx = curve8(t.lab, (0.4124564f * r + 0.3575761f * g + 0.1804375f * b) * (1.0f / 0.95047f));
    key = (fx - fy) * (-500.0f * (mode == KEY_DIGITAL_GREEN ? 2.6f : 3.5f));
  }
  Key8 k = {clamp(rint(key), 0.0f, 255.0f) * (1.0f / 255.0f), clamp((116.0f * fy - 16.0f) * 0.01f, 0.0f, 1.0f)};
  return k;
}

// Keys the 4 x 2 block at texel x of rows 2*row and 2*row+1 with two chroma pairs.
INLINE void key_block(float4 y0, float4 y1, float2 cb, float2 cr, int mode, Tables t, Plane K, Plane S, int x,
                      int row) {
  const float4 cb4 = cb.s0011, cr4 = cr.s0011;
  const Key8 k = key8((float8)(y0, y1), (float8)(cb4, cb4), (float8)(cr4, cr4), mode, t);
  const int4 hk = header(K), hs = header(S);
  store4(K, hk, x, 2 * row, k.key.lo);
  store4(K, hk, x, 2 * row + 1, k.key.hi);
  store4(S, hs, x, 2 * row, k.lightness.lo);
  store4(S, hs, x, 2 * row + 1, k.lightness.hi);
}

#define TABLE_ARGS __read_only image2d_t linImage, __read_only image2d_t labImage
#define LOCAL_TABLES                                     \
  __local float lin[TABLE_SIZE], lab[TABLE_SIZE];        \
  const Tables t = load_tables(linImage, labImage, lin, lab)

// Key conversion on the frame grid (w/4, h): the tables are copied into
// local memory per work-group, which costs as much as keying hundreds of
// pixels on CPU devices, so each item keys a column of KEY_BLOCKS blocks of
// 4 x 2 pixels, the items of the first (h/2)/KEY_BLOCKS rows do all the work
// and work-groups without any of them return before copying the tables.
#define KEY_BLOCKS 8

// Uniform within the work-group, so the early return never splits a barrier.
INLINE bool group_idle(void) {
  return (int)(get_group_id(1) * get_local_size(1)) * KEY_BLOCKS >= (int)get_global_size(1) / 2;
}

#define FOR_EACH_BLOCK(row)                                                        \
  const int x = get_global_id(0), blockRows = (int)get_global_size(1) / 2;        \
  for (int row = (int)get_global_id(1) * KEY_BLOCKS, end = min(row + KEY_BLOCKS, blockRows); row < end; ++row)

// Frames of w = 4 * grid width pixels; the luma of block row `row` starts at
// byte 2 * row * w + 4 * x.
#define FRAME_WIDTH (4 * (int)get_global_size(0))

INLINE void nv12_key(FrameBytes Y, FrameBytes UV, int mode, Tables t, Plane K, Plane S) {
  const int w = FRAME_WIDTH;
  FOR_EACH_BLOCK(row) {
    const int top = 2 * row * w + 4 * x;
    const float4 uv = load_codes4(UV + row * w + 4 * x);
    key_block(load_codes4(Y + top), load_codes4(Y + top + w), uv.s02, uv.s13, mode, t, K, S, x, row);
  }
}

INLINE void i420_key(FrameBytes Y, FrameBytes U, FrameBytes V, int mode, Tables t, Plane K, Plane S) {
  const int w = FRAME_WIDTH;
  FOR_EACH_BLOCK(row) {
    const int top = 2 * row * w + 4 * x, chroma = row * (w / 2) + 2 * x;
    key_block(load_codes4(Y + top), load_codes4(Y + top + w), load_codes2(U + chroma), load_codes2(V + chroma), mode, t,
              K, S, x, row);
  }
}

// Four pixels (two YUY2 texels, 8 bytes of a 2w-byte row) of two rows per block.
INLINE void yuy2_key(FrameBytes src, int mode, Tables t, Plane K, Plane S) {
  const int4 hk = header(K), hs = header(S);
  const int w = FRAME_WIDTH;
  FOR_EACH_BLOCK(row) {
    const float8 a = load_codes8(src + 4 * row * w + 8 * x), c = load_codes8(src + (4 * row + 2) * w + 8 * x);
    const Key8 k = key8((float8)(a.s0246, c.s0246), (float8)(a.s1155, c.s1155), (float8)(a.s3377, c.s3377), mode, t);
    store4(K, hk, x, 2 * row, k.key.lo);
    store4(K, hk, x, 2 * row + 1, k.key.hi);
    store4(S, hs, x, 2 * row, k.lightness.lo);
    store4(S, hs, x, 2 * row + 1, k.lightness.hi);
  }
}

INLINE int green_mode(int flag) { return flag ? KEY_DIGITAL_GREEN : KEY_GREEN; }

// Half-resolution keys (one value per 2 x 2 block, from its mean luma and
// its chroma) on a grid of (half width / 2, half height): two per item.
INLINE void store_half_pair(Plane P, int x, int row, float2 v) {
  const int4 h = header(P);
  if (2 * x + 1 >= h.x || row >= h.y) return;
  P[PLANE_HEADER + row * h.z + 2 * x] = convert_uchar_sat_rte(v.x * 255.0f);
  P[PLANE_HEADER + row * h.z + 2 * x + 1] = convert_uchar_sat_rte(v.y * 255.0f);
}

__kernel void nv12_GM_cal_LabA_w2h2(__read_only image2d_t Y, __read_only image2d_t UV, TABLE_ARGS, int flag,
                                    Plane K, Plane S) {
  LOCAL_TABLES;
  const int x = get_global_id(0), row = get_global_id(1);
  const float4 uv = read_imagef(UV, kNearest, (int2)(x, row));
  const float4 m = (read_imagef(Y, kNearest, (int2)(x, 2 * row)) + read_imagef(Y, kNearest, (int2)(x, 2 * row + 1))) * 0.5f;
  const float2 luma = (float2)(m.x + m.y, m.z + m.w) * 0.5f;
  const Key8 k = key8((float8)(luma, luma, luma, luma), (float8)(uv.s02, uv.s02, uv.s02, uv.s02),
                      (float8)(uv.s13, uv.s13, uv.s13, uv.s13), green_mode(flag), t);
  store_half_pair(K, x, row, k.key.s01);
  store_half_pair(S, x, row, k.lightness.s01);
}

__kernel void nv12_GM_cal_LabA(FrameBytes Y, FrameBytes UV, TABLE_ARGS, int flag, Plane K, Plane S) {
  if (group_idle()) return;
  LOCAL_TABLES;
  nv12_key(Y, UV, green_mode(flag), t, K, S);
}

__kernel void nv12_GM_cal_LabB(FrameBytes Y, FrameBytes UV, TABLE_ARGS, Plane K, Plane S) {
  if (group_idle()) return;
  LOCAL_TABLES;
  nv12_key(Y, UV, KEY_BLUE, t, K, S);
}

__kernel void yuy2_GM_cal_LabA_w2h2(__read_only image2d_t src, TABLE_ARGS, int flag, Plane K, Plane S) {
  LOCAL_TABLES;
  const int x = get_global_id(0), row = get_global_id(1);
  const float4 a = read_imagef(src, kNearest, (int2)(2 * x, 2 * row));
  const float4 b = read_imagef(src, kNearest, (int2)(2 * x + 1, 2 * row));
  const float2 luma = (float2)(a.x + a.z, b.x + b.z) * 0.5f, cb = (float2)(a.y, b.y), cr = (float2)(a.w, b.w);
  const Key8 k = key8((float8)(luma, luma, luma, luma), (float8)(cb, cb, cb, cb), (float8)(cr, cr, cr, cr),
                      green_mode(flag), t);
  store_half_pair(K, x, row, k.key.s01);
  store_half_pair(S, x, row, k.lightness.s01);
}

__kernel void yuy2_GM_cal_LabA(FrameBytes src, TABLE_ARGS, int flag, Plane K, Plane S) {
  if (group_idle()) return;
  LOCAL_TABLES;
  yuy2_key(src, green_mode(flag), t, K, S);
}

__kernel void yuy2_GM_cal_LabB(FrameBytes src, TABLE_ARGS, Plane K, Plane S) {
  if (group_idle()) return;
  LOCAL_TABLES;
  yuy2_key(src, KEY_BLUE, t, K, S);
}

__kernel void i420_GM_cal_LabA(FrameBytes Y, FrameBytes U, FrameBytes V, TABLE_ARGS, int flag, Plane K, Plane S) {
  if (group_idle()) return;
  LOCAL_TABLES;
  i420_key(Y, U, V, green_mode(flag), t, K, S);
}

__kernel void i420_GM_cal_LabB(FrameBytes Y, FrameBytes U, FrameBytes V, TABLE_ARGS, Plane K, Plane S) {
  if (group_idle()) return;
  LOCAL_TABLES;
  i420_key(Y, U, V, KEY_BLUE, t, K, S);
}

// ---- blend ------------------------------------------------------------------

// Blocks that are all backdrop or all subject are byte copies of one frame.
INLINE void copy_luma_block(FrameBytes Y, OutBytes oY, int top, int w) {
  vstore4(vload4(0, Y + top), 0, oY + top);
  vstore4(vload4(0, Y + top + w), 0, oY + top + w);
}

// The 4 x 2 block at texel x of rows 2*row and 2*row+1, chroma shared by its
// two 2 x 2 halves: the matte, or which frame it copies (0 backdrop, 1 subject,
// -1 blend).
INLINE int block_matte(CPlane A8, int x, int row, float4* a0, float4* a1) {
  const int4 ha = header(A8);
  *a0 = load4(A8, ha, x, 2 * row);
  *a1 = load4(A8, ha, x, 2 * row + 1);
  return all_zero(*a0, *a1) ? 0 : all_one(*a0, *a1) ? 1 : -1;
}

// Grid (w/4, h/2): one 4 x 2 block per item.
__kernel void nv12_GM_blendForeAndBack(FrameBytes Y, FrameBytes UV, CPlane S, FrameBytes bY, FrameBytes bUV, CPlane A8,
                                       int keyColor, OutBytes oY, OutBytes oUV) {
  const int x = get_global_id(0), row = get_global_id(1), w = FRAME_WIDTH;
  const int top = 2 * row * w + 4 * x, chroma = row * w + 4 * x;
  float4 a0, a1;
  const int copy = block_matte(A8, x, row, &a0, &a1);
  if (copy >= 0) {
    copy_luma_block(copy ? Y : bY, oY, top, w);
    vstore4(vload4(0, (copy ? UV : bUV) + chroma), 0, oUV + chroma);
    return;
  }
  float4 y0 = load_codes4(Y + top), y1 = load_codes4(Y + top + w);
  const float4 uv = load_codes4(UV + chroma), buv = load_codes4(bUV + chroma);
  float2 cb = uv.s02, cr = uv.s13;
  blend_block(&y0, &y1, &cb, &cr, load_codes4(bY + top), load_codes4(bY + top + w), buv.s02, buv.s13, a0, a1, keyColor);
  store_codes4(oY + top, y0);
  store_codes4(oY + top + w, y1);
  store_codes4(oUV + chroma, (float4)(cb.x, cr.x, cb.y, cr.y));
}

// Frame grid (w/4, h): items of the upper half blend one 4 x 2 block each.
__kernel void i420_GM_blendForeAndBack(FrameBytes Y, FrameBytes U, FrameBytes V, CPlane S, FrameBytes bY, FrameBytes bU,
                                       FrameBytes bV, CPlane A8, int keyColor, OutBytes oY, OutBytes oU, OutBytes oV) {
  const int x = get_global_id(0), row = get_global_id(1), w = FRAME_WIDTH;
  if (row >= (int)get_global_size(1) / 2) return;
  const int top = 2 * row * w + 4 * x, chroma = row * (w / 2) + 2 * x;
  float4 a0, a1;
  const int copy = block_matte(A8, x, row, &a0, &a1);
  if (copy >= 0) {
    copy_luma_block(copy ? Y : bY, oY, top, w);
    vstore2(vload2(0, (copy ? U : bU) + chroma), 0, oU + chroma);
    vstore2(vload2(0, (copy ? V : bV) + chroma), 0, oV + chroma);
    return;
  }
  float4 y0 = load_codes4(Y + top), y1 = load_codes4(Y + top + w);
  float2 cb = load_codes2(U + chroma), cr = load_codes2(V + chroma);
  blend_block(&y0, &y1, &cb, &cr, load_codes4(bY + top), load_codes4(bY + top + w), load_codes2(bU + chroma),
              load_codes2(bV + chroma), a0, a1, keyColor);
  store_codes4(oY + top, y0);
  store_codes4(oY + top + w, y1);
  store_codes2(oU + chroma, cb);
  store_codes2(oV + chroma, cr);
}

// Frame grid (w/4, h): two YUY2 texels (four pixels, 8 bytes of a 2w-byte
// row) per item; the chroma of a pixel pair takes the mean alpha of the pair.
__kernel void yuy2_GM_blendForeAndBack(FrameBytes src, CPlane S, FrameBytes bg, CPlane A8, int keyColor, OutBytes out) {
  const int t = get_global_id(0), y = get_global_id(1), at = 2 * y * FRAME_WIDTH + 8 * t;
  const float4 a = load4(A8, header(A8), t, y);
  if (all_zero(a, a) || all_one(a, a)) {
    vstore8(vload8(0, (a.x > 0.5f ? src : bg) + at), 0, out + at);
    return;
  }
  const float2 dir = key_chroma_direction(keyColor);
  const float8 c = load_codes8(src + at), b = load_codes8(bg + at);
  store_codes4(out + at, blend_yuy2_texel(c.lo, b.lo, a.s01, dir));
  store_codes4(out + at + 4, blend_yuy2_texel(c.hi, b.hi, a.s23, dir));
}

// ---- histogram ----------------------------------------------------------------

// Grid (1, rows): one item counts one row of the source into its 256 words.
__kernel void nv12_GM_stat_HistQ_LabA_color(CPlane src, __global uint* rows, int width) {
  const int r = get_global_id(1);
  const int4 h = header(src);
  __global uint* bins = rows + r * 256;
  for (int i = 0; i < 256; ++i) bins[i] = 0;
  if (r >= h.y) return;
  width = min(width, h.x);
  for (int x = 0; x < width; ++x) bins[min((int)(load1(src, h, x, r) * 255.0f + 0.5f), 255)] += 1;
}

// Grid (256, 1): one item sums one bin over all rows.
__kernel void nv12_GM_accm_HistQ_LabA_color(__global const uint* rows, __global uint* total, int bins, int rowCount) {
  const int v = get_global_id(0);
  if (v >= bins) return;
  uint sum = 0;
  for (int r = 0; r < rowCount; ++r) sum += rows[r * bins + v];
  total[v] = sum;
}

// ---- resampling -----------------------------------------------------------------

// Texel t of row y, the texel index clamped to the row (edge texels repeat).
INLINE float4 load_texel(CPlane p, int4 h, int t, int y) { return load4(p, h, clamp(t, 0, h.z / 4 - 1), y); }

// Grid ((dw + 3) / 4, dh): each destination pixel is the mean of its f x f
// source block (f is 2 or 4), the source clamped at its edges.
INLINE void downsample(CPlane src, Plane dst, int f) {
  const int t = get_global_id(0), y = get_global_id(1);
  const int4 hs = header(src), hd = header(dst);
  float4 out = 0.0f;
  for (int r = 0; r < f; ++r) {
    const int row = y * f + r;
    if (f == 4) {
      // Destination pixel i is source texel 4t + i.
      const float4 a = load_texel(src, hs, 4 * t, row), b = load_texel(src, hs, 4 * t + 1, row),
                   c = load_texel(src, hs, 4 * t + 2, row), d = load_texel(src, hs, 4 * t + 3, row);
      out += (float4)(a.x + a.y + a.z + a.w, b.x + b.y + b.z + b.w, c.x + c.y + c.z + c.w, d.x + d.y + d.z + d.w);
    } else {
      const float4 a = load_texel(src, hs, 2 * t, row), b = load_texel(src, hs, 2 * t + 1, row);
      out += (float4)(a.x + a.y, a.z + a.w, b.x + b.y, b.z + b.w);
    }
  }
  store4(dst, hd, t, y, out / (float)(f * f));
}

__kernel void nv12_GM_downSampleW4H4_LabA_color(CPlane src, Plane dst) { downsample(src, dst, 4); }
__kernel void nv12_GM_downSampleW2H2_LabA_color(CPlane src, Plane dst) { downsample(src, dst, 2); }
__kernel void nv12_GM_mean_stat_w4_h4(CPlane src, Plane dst) { downsample(src, dst, 4); }
__kernel void nv12_GM_mean_stat_w2_h2(CPlane src, Plane dst) { downsample(src, dst, 2); }

// Grid (sw, sh) over source pixels: each writes its f x f destination block,
// nearest neighbour.
INLINE void upsample_nearest(CPlane src, Plane dst, int f) {
  const int x = get_global_id(0), y = get_global_id(1);
  const int4 hs = header(src), hd = header(dst);
  const float v = load1(src, hs, x, y);
  for (int dy = 0; dy < f; ++dy)
    for (int dx = 0; dx < f; ++dx) {
      const int px = x * f + dx, py = y * f + dy;
      if (px >= hd.x || py >= hd.y) continue;
      if (hd.w == 1)
        dst[PLANE_HEADER + py * hd.z + px] = convert_uchar_sat_rte(v * 255.0f);
      else
        ((__global float*)(dst + PLANE_HEADER))[py * hd.z + px] = v;
    }
}

__kernel void nv12_GM_upSampleW2H2_LabA_color(CPlane src, Plane dst) { upsample_nearest(src, dst, 2); }
__kernel void nv12_GM_upSampleW4H4_LabA_color(CPlane src, Plane dst) { upsample_nearest(src, dst, 4); }

// Grid (qw, qh): each quarter pixel writes its 4 x 4 block of the float
// destination, bilinear between quarter-pixel centres.
__kernel void nv12_GM_upSampleW4H4_SpeedUp_LabA_color(CPlane src, Plane dst) {
  const int x = get_global_id(0), y = get_global_id(1);
  const int4 hs = header(src), hd = header(dst);
  // Weights of the previous, own and next quarter pixel for the four sub-positions.
  const float4 wPrev = (float4)(0.375f, 0.125f, 0.0f, 0.0f);
  const float4 wNext = (float4)(0.0f, 0.0f, 0.125f, 0.375f);
  const float4 wOwn = 1.0f - wPrev - wNext;
  float4 rows[3];
  for (int r = 0; r < 3; ++r) {
    const float p = load1(src, hs, x - 1, y - 1 + r), c = load1(src, hs, x, y - 1 + r),
                n = load1(src, hs, x + 1, y - 1 + r);
    rows[r] = wPrev * p + wOwn * c + wNext * n;
  }
  const float wp[4] = {0.375f, 0.125f, 0.0f, 0.0f}, wn[4] = {0.0f, 0.0f, 0.125f, 0.375f};
  for (int j = 0; j < 4; ++j) store4(dst, hd, x, 4 * y + j, wp[j] * rows[0] + (1.0f - wp[j] - wn[j]) * rows[1] + wn[j] * rows[2]);
}

// ---- per-pixel arithmetic (grid: texels of the output, rows of the output) --------

#define ELEMENTWISE_PROLOGUE(out) \
  const int t = get_global_id(0), y = get_global_id(1); \
  const int4 ho = header(out)

__kernel void nv12_GM_single_div(CPlane x, CPlane yv, Plane out, float eps) {
  ELEMENTWISE_PROLOGUE(out);
  store4(out, ho, t, y, load4(x, header(x), t, y) / (load4(yv, header(yv), t, y) + eps));
}

__kernel void nv12_GM_single_sub(CPlane x, CPlane yv, Plane out) {
  ELEMENTWISE_PROLOGUE(out);
  store4(out, ho, t, y, load4(x, header(x), t, y) - load4(yv, header(yv), t, y));
}

__kernel void nv12_GM_single_add(CPlane x, CPlane yv, Plane out) {
  ELEMENTWISE_PROLOGUE(out);
  store4(out, ho, t, y, load4(x, header(x), t, y) + load4(yv, header(yv), t, y));
}

__kernel void nv12_GM_single_mul(CPlane x, CPlane yv, Plane out) {
  ELEMENTWISE_PROLOGUE(out);
  store4(out, ho, t, y, load4(x, header(x), t, y) * load4(yv, header(yv), t, y));
}

__kernel void nv12_GM_single_mul2(CPlane x, CPlane yv, Plane out1, Plane out2) {
  ELEMENTWISE_PROLOGUE(out1);
  const float4 a = load4(x, header(x), t, y);
  store4(out1, ho, t, y, a * a);
  store4(out2, header(out2), t, y, a * load4(yv, header(yv), t, y));
}

__kernel void nv12_GM_single_mul_add(CPlane x, CPlane yv, CPlane z, Plane out) {
  ELEMENTWISE_PROLOGUE(out);
  store4(out, ho, t, y, load4(x, header(x), t, y) + load4(yv, header(yv), t, y) * load4(z, header(z), t, y));
}

__kernel void nv12_GM_single_mul_sub(CPlane x, CPlane yv, CPlane z, Plane out) {
  ELEMENTWISE_PROLOGUE(out);
  store4(out, ho, t, y, load4(x, header(x), t, y) - load4(yv, header(yv), t, y) * load4(z, header(z), t, y));
}

// Frame grid: mask 1 (subject) unless the key value exceeds the threshold on
// a pixel bright enough for its chroma to mean something.
__kernel void nv12_GM_thres_segment_LabA(CPlane K, CPlane S, Plane M, float threshold) {
  ELEMENTWISE_PROLOGUE(M);
  const int4 backdrop = isgreater(load4(K, header(K), t, y), (float4)threshold) &
                        isgreater(load4(S, header(S), t, y), (float4)0.08f);
  store4(M, ho, t, y, select((float4)1.0f, (float4)0.0f, backdrop));
}

// ---- yuv to rgb (RGBA 8-bit images, one texel per pixel) ----------------------

// Frame grid (w/4, h): four RGBA pixels per item.
__kernel void nv12_GM_yuv2rgb(__read_only image2d_t Y, __read_only image2d_t UV, __write_only image2d_t rgb) {
  const int x = get_global_id(0), y = get_global_id(1);
  const float4 l = read_imagef(Y, kNearest, (int2)(x, y)), c = read_imagef(UV, kNearest, (int2)(x, y / 2));
  write_imagef(rgb, (int2)(4 * x, y), rgb_of(l.x, c.x, c.y));
  write_imagef(rgb, (int2)(4 * x + 1, y), rgb_of(l.y, c.x, c.y));
  write_imagef(rgb, (int2)(4 * x + 2, y), rgb_of(l.z, c.z, c.w));
  write_imagef(rgb, (int2)(4 * x + 3, y), rgb_of(l.w, c.z, c.w));
}

__kernel void yuy2_GM_yuv2rgb(__read_only image2d_t src, __write_only image2d_t rgb) {
  const int x = get_global_id(0), y = get_global_id(1);
  for (int i = 0; i < 2; ++i) {
    const float4 c = read_imagef(src, kNearest, (int2)(2 * x + i, y));
    write_imagef(rgb, (int2)(4 * x + 2 * i, y), rgb_of(c.x, c.y, c.w));
    write_imagef(rgb, (int2)(4 * x + 2 * i + 1, y), rgb_of(c.z, c.y, c.w));
  }
}

// ---- matte filters (frame or quarter grids of texels) ------------------------------

// Horizontal box means (radius r <= 8) of the four pixels of texel t over
// the pixels inside the row: the window shrinks at the edges. Prefix sums of
// pixels 4t-8 .. 4t+11 and of how many of them lie inside the row.
INLINE float4 box_row(CPlane src, int4 h, int t, int y, int r) {
  float sum[21], count[21];
  sum[0] = 0.0f;
  count[0] = 0.0f;
#pragma unroll
  for (int k = 0; k < 5; ++k) {
    const float4 q = load_texel(src, h, t - 2 + k, y);
    const int4 px = (int4)(4 * (t - 2 + k)) + (int4)(0, 1, 2, 3);
    const float4 inside = convert_float4(-((px >= 0) & (px < h.x)));
    const float4 v = q * inside;
    sum[4 * k + 1] = sum[4 * k] + v.x;
    sum[4 * k + 2] = sum[4 * k + 1] + v.y;
    sum[4 * k + 3] = sum[4 * k + 2] + v.z;
    sum[4 * k + 4] = sum[4 * k + 3] + v.w;
    count[4 * k + 1] = count[4 * k] + inside.x;
    count[4 * k + 2] = count[4 * k + 1] + inside.y;
    count[4 * k + 3] = count[4 * k + 2] + inside.z;
    count[4 * k + 4] = count[4 * k + 3] + inside.w;
  }
  // Pixel 4t+i is entry i+8; its window covers entries i+8-r .. i+8+r.
  return (float4)((sum[9 + r] - sum[8 - r]) / (count[9 + r] - count[8 - r]),
                  (sum[10 + r] - sum[9 - r]) / (count[10 + r] - count[9 - r]),
                  (sum[11 + r] - sum[10 - r]) / (count[11 + r] - count[10 - r]),
                  (sum[12 + r] - sum[11 - r]) / (count[12 + r] - count[11 - r]));
}

INLINE float4 box_column(CPlane src, int4 h, int t, int y, int r) {
  const int lo = max(y - r, 0), hi = min(y + r, h.y - 1);
  float4 sum = 0.0f;
  for (int row = lo; row <= hi; ++row) sum += load4(src, h, t, row);
  return sum / (float)(hi - lo + 1);
}

// Box means over the pixels inside the plane (the window shrinks at edges).
__kernel void nv12_GM_alpha_meanBlur_R8X(CPlane src, int w, int h, Plane dst) {
  const int t = get_global_id(0), y = get_global_id(1);
  store4(dst, header(dst), t, y, box_row(src, header(src), t, y, 8));
}
__kernel void nv12_GM_alpha_meanBlur_R8Y(CPlane src, int w, int h, Plane dst) {
  const int t = get_global_id(0), y = get_global_id(1);
  store4(dst, header(dst), t, y, box_column(src, header(src), t, y, 8));
}
__kernel void nv12_GM_alpha_meanBlur_R4X(CPlane src, int w, int h, Plane dst) {
  const int t = get_global_id(0), y = get_global_id(1);
  store4(dst, header(dst), t, y, box_row(src, header(src), t, y, 4));
}
__kernel void nv12_GM_alpha_meanBlur_R4Y(CPlane src, int w, int h, Plane dst) {
  const int t = get_global_id(0), y = get_global_id(1);
  store4(dst, header(dst), t, y, box_column(src, header(src), t, y, 4));
}
__kernel void nv12_GM_buffer_meanBlur_sepX(CPlane src, Plane dst, int radius) {
  const int t = get_global_id(0), y = get_global_id(1);
  store4(dst, header(dst), t, y, box_row(src, header(src), t, y, clamp(radius, 0, 8)));
}
__kernel void nv12_GM_buffer_meanBlur_sepY(CPlane src, Plane dst, int radius) {
  const int t = get_global_id(0), y = get_global_id(1);
  store4(dst, header(dst), t, y, box_column(src, header(src), t, y, max(radius, 0)));
}

// 3 x 3 mean in one pass.
__kernel void nv12_GM_buffer_meanBlur(CPlane src, Plane dst) {
  const int t = get_global_id(0), y = get_global_id(1);
  const int4 h = header(src);
  store4(dst, header(dst), t, y,
         (box_row(src, h, t, y - 1, 1) + box_row(src, h, t, y, 1) + box_row(src, h, t, y + 1, 1)) / 3.0f);
}

// Pixels 4t-1 .. 4t+4 of a row with the [1 2 1] / 4 filter applied.
INLINE float4 smooth_row(CPlane src, int4 h, int t, int y) {
  const float4 c = load4(src, h, t, y);
  const float l = load1(src, h, 4 * t - 1, y), r = load1(src, h, 4 * t + 4, y);
  return (2.0f * c + (float4)(l, c.s012) + (float4)(c.s123, r)) * 0.25f;
}

// Frame grid: 3 x 3 binomial smoothing of the float matte into 8-bit alpha.
__kernel void nv12_GM_alpha_gaussBlur(CPlane Af, int w, int h, Plane A8) {
  const int t = get_global_id(0), y = get_global_id(1);
  const int4 hs = header(Af);
  const float4 a = (smooth_row(Af, hs, t, max(y - 1, 0)) + 2.0f * smooth_row(Af, hs, t, y) +
                    smooth_row(Af, hs, t, min(y + 1, h - 1))) *
                   0.25f;
  store4(A8, header(A8), t, y, clamp(a, 0.0f, 1.0f));
}

// Frame grid: 3 x 3 minimum.
__kernel void nv12_GM_alpha_erosion3x3(CPlane src, int w, int h, Plane dst) {
  const int t = get_global_id(0), y = get_global_id(1);
  const int4 hs = header(src);
  float4 m = (float4)1.0e30f;
  for (int dy = -1; dy <= 1; ++dy) {
    const int row = clamp(y + dy, 0, h - 1);
    const float4 c = load4(src, hs, t, row);
    const float l = load1(src, hs, 4 * t - 1, row), r = load1(src, hs, 4 * t + 4, row);
    m = fmin(m, fmin(c, fmin((float4)(l, c.s012), (float4)(c.s123, r))));
  }
  store4(dst, header(dst), t, y, m);
}

// Byte plane <-> RGBA 8-bit image holding four pixels per texel.
__kernel void copy_image_to_buffer(__read_only image2d_t src, Plane dst) {
  const int t = get_global_id(0), y = get_global_id(1);
  store4(dst, header(dst), t, y, read_imagef(src, kNearest, (int2)(t, y)));
}

__kernel void copy_buffer_to_image(CPlane src, __write_only image2d_t dst) {
  const int t = get_global_id(0), y = get_global_id(1);
  write_imagef(dst, (int2)(t, y), load4(src, header(src), t, y));
}
#include "refine.cl.h"
