/* OpenCL C helpers for I420 chroma images: two samples per RG texel, or, where
 * the device has no RG images, four per RGBA texel (frames only read) or one
 * per R texel. Included by kernel programs that define the sampler kNearest
 * and the macro INLINE. */
#ifndef GPU_RUNTIME_I420_CHROMA_CL_H
#define GPU_RUNTIME_I420_CHROMA_CL_H

INLINE float2 read_chroma_pair(__read_only image2d_t plane, int x, int row) {
    const int order = get_image_channel_order(plane);
    if (order == CLK_RG) return read_imagef(plane, kNearest, (int2)(x, row)).xy;
    if (order == CLK_RGBA) {
        const float4 pairs = read_imagef(plane, kNearest, (int2)(x >> 1, row));
        return (x & 1) ? pairs.zw : pairs.xy;
    }
    return (float2)(read_imagef(plane, kNearest, (int2)(2 * x, row)).x,
                    read_imagef(plane, kNearest, (int2)(2 * x + 1, row)).x);
}

INLINE void write_chroma_pair(__write_only image2d_t plane, int x, int row, float2 pair) {
    if (get_image_channel_order(plane) == CLK_RG) {
        write_imagef(plane, (int2)(x, row), (float4)(pair, 0.0f, 1.0f));
    } else {
        write_imagef(plane, (int2)(2 * x, row), (float4)(pair.x, 0.0f, 0.0f, 1.0f));
        write_imagef(plane, (int2)(2 * x + 1, row), (float4)(pair.y, 0.0f, 0.0f, 1.0f));
    }
}

#endif
