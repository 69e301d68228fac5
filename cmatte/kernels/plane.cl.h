/* Helpers shared by the keyer programs: the nearest sampler for frame images
 * and working planes, OpenCL buffers that start with a 16-byte header
 * { width, height, row stride in elements, element size }. Element size 1
 * holds 8-bit values v read as v / 255, element size 4 holds floats. Rows are
 * padded to a multiple of four elements, so a work-item handles four pixels
 * with one vector load or store. */
#ifndef CMATTE_PLANE_CL_H
#define CMATTE_PLANE_CL_H

#define INLINE __attribute__((always_inline)) inline
#define PLANE_HEADER 16

__constant sampler_t kNearest = CLK_NORMALIZED_COORDS_FALSE | CLK_ADDRESS_CLAMP_TO_EDGE | CLK_FILTER_NEAREST;

typedef __global uchar* Plane;
typedef __global const uchar* CPlane;

INLINE int4 header(CPlane p) { return vload4(0, (__global const int*)p); }

INLINE float load1(CPlane p, int4 h, int x, int y) {
  x = clamp(x, 0, h.x - 1);
  y = clamp(y, 0, h.y - 1);
  if (h.w == 1) return p[PLANE_HEADER + y * h.z + x] * (1.0f / 255.0f);
  return ((__global const float*)(p + PLANE_HEADER))[y * h.z + x];
}

// Pixels 4t .. 4t+3 of row y (row clamped); t must lie inside the padded row.
INLINE float4 load4(CPlane p, int4 h, int t, int y) {
  y = clamp(y, 0, h.y - 1);
  if (h.w == 1) return convert_float4(vload4(0, p + PLANE_HEADER + y * h.z + 4 * t)) * (1.0f / 255.0f);
  return vload4(0, (__global const float*)(p + PLANE_HEADER) + y * h.z + 4 * t);
}

INLINE void store4(Plane p, int4 h, int t, int y, float4 v) {
  if (y >= h.y || 4 * t >= h.z) return;
  if (h.w == 1)
    vstore4(convert_uchar4_sat_rte(v * 255.0f), 0, p + PLANE_HEADER + y * h.z + 4 * t);
  else
    vstore4(v, 0, (__global float*)(p + PLANE_HEADER) + y * h.z + 4 * t);
}

#endif
