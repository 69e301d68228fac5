/* OpenCL C helpers for frames that kernels take as buffer copies of the host
 * planes (FrameAccess::kKernelBuffers): packed rows, one byte per sample.
 * Samples are read as codes 0..1 and stored rounded to the nearest byte, as
 * UNORM_INT8 images do. Included by kernel programs that define INLINE. */
#ifndef GPU_RUNTIME_FRAME_BYTES_CL_H
#define GPU_RUNTIME_FRAME_BYTES_CL_H

typedef __global const uchar* FrameBytes;
typedef __global uchar* OutBytes;

INLINE float2 load_codes2(FrameBytes p) { return convert_float2(vload2(0, p)) * (1.0f / 255.0f); }
INLINE float4 load_codes4(FrameBytes p) { return convert_float4(vload4(0, p)) * (1.0f / 255.0f); }
INLINE float8 load_codes8(FrameBytes p) { return convert_float8(vload8(0, p)) * (1.0f / 255.0f); }
INLINE void store_codes2(OutBytes p, float2 v) {
    vstore2(convert_uchar2_sat_rte(v * 255.0f), 0, p);
}
INLINE void store_codes4(OutBytes p, float4 v) {
    vstore4(convert_uchar4_sat_rte(v * 255.0f), 0, p);
}

#endif
