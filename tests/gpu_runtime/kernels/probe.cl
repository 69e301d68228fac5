// Small kernels to exercise the device context and the launch helpers.
#include "gpu_runtime/yuv_convention.h"

__kernel void probe_copy(__read_only image2d_t src, __write_only image2d_t dst) {
  const int2 p = (int2)(get_global_id(0), get_global_id(1));
  write_imagef(dst, p, read_imagef(src, CLK_NORMALIZED_COORDS_FALSE | CLK_FILTER_NEAREST, p));
}

__kernel void probe_fill(__write_only image2d_t dst, float value) {
  write_imagef(dst, (int2)(get_global_id(0), get_global_id(1)), (float4)(value));
}
