/* The YCbCr <-> RGB convention of every kernel and of the CPU references in
 * the tests. Plain macros, so that both OpenCL C and C++ include this file.
 *
 * Matrix: ITU-R BT.709 (Kr = 0.2126, Kb = 0.0722).
 * Range: limited ("video") range: Y' 16..235, Cb and Cr 16..240 around 128.
 *   Yn = (Y' - 16) / 219, Pb = (Cb - 128) / 224, Pr = (Cr - 128) / 224
 *   R = Yn + YUVC_R_PR * Pr
 *   G = Yn + YUVC_G_PB * Pb + YUVC_G_PR * Pr
 *   B = Yn + YUVC_B_PB * Pb
 * R, G, B are clamped to 0..1 before the table lookup. Back:
 *   Yn = Kr R + Kg G + Kb B, Pb = (B - Yn) / YUVC_B_PB, Pr = (R - Yn) / YUVC_R_PR
 * Subsampled chroma: each pixel of a block that shares one chroma sample (2 x 2
 * in NV12 and I420, 2 x 1 in YUY2) is converted with that sample; the chroma
 * written back is that of the mean of the block's graded RGB colours.
 * Output codes are rounded to nearest and clamped to 0..255.
 */
#ifndef GPU_RUNTIME_YUV_CONVENTION_H
#define GPU_RUNTIME_YUV_CONVENTION_H

#define YUVC_KR 0.2126f
#define YUVC_KB 0.0722f
#define YUVC_KG (1.0f - YUVC_KR - YUVC_KB)

#define YUVC_Y_OFFSET 16.0f
#define YUVC_Y_RANGE 219.0f
#define YUVC_C_OFFSET 128.0f
#define YUVC_C_RANGE 224.0f

#define YUVC_R_PR (2.0f * (1.0f - YUVC_KR))
#define YUVC_B_PB (2.0f * (1.0f - YUVC_KB))
#define YUVC_G_PB (-YUVC_B_PB * YUVC_KB / YUVC_KG)
#define YUVC_G_PR (-YUVC_R_PR * YUVC_KR / YUVC_KG)

#endif
