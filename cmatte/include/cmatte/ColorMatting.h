// cmatte: keys a green or blue backdrop out of video frames with OpenCL and
// composites the subject over a background frame.
//
// Construct one ColorMatting per video stream with the keyer version (2: the
// L*a*b* keyer with an automatic threshold; other values: the version-1
// chroma-distance keyer) and the GPU platform preference (0 Intel graphics,
// 1 NVIDIA CUDA, other values any other platform). Set the key colour, then
// pass frames through an exec operation: camera planes, background planes of
// the same layout and size, output planes that receive the composite.
// Diagnostics are printed to standard output; an object whose OpenCL set-up
// failed ignores every call but switchAlgVersion, getVersion and destruction.
//
// Key colour codes (setParams_KeyColor):
//   1  bright "digital" green (a saturated, light green such as RGB 0,255,0)
//   2  studio chroma-key green (the default of the version-1 keyer)
//   3  chroma-key blue
//   Version 2 keys nothing useful until a code is set (code 0); codes outside
//   0..3 are treated like 0.
// setParams_v2_coff_thres scales version 2's automatic threshold (default 1.0;
// below 1 keys more of the frame out).
// Refinements of version 2, all off by default (version 1 ignores them, and
// switching versions resets them):
//   setParams_v2_refine(1) switches on the recommended set for live use
//     (detail keep and the unmixing composite); 0 switches those two off.
//   setParams_v2_detail_keep(on): key values between the automatic threshold
//     and the lower edge of the backdrop's histogram peak stay subject unless
//     a neighbouring pixel is clear backdrop (pale detail close to the key
//     colour is kept).
//   setParams_v2_unmix(on): composite as camera + (1 - alpha) (background -
//     local backdrop colour), which removes the backdrop's tint from edges.
//   setParams_v2_spill(strength, range): edge spill removal, strength 0 off,
//     1 the default, up to 4; range 0-8 pixels from the edge in which opaque
//     pixels lose the key colour's cast too. Values outside are clamped.
//   setParams_v2_levels(clipBlack, clipWhite): matte levels, 0 <= black <
//     white <= 1 (default 0, 1); other pairs are ignored.
//   setParams_v2_garbage(x, y, w, h): outside the rectangle is backdrop;
//   setParams_v2_holdout(x, y, w, h): inside the rectangle is subject. In
//     frame pixels; w or h 0 removes the rectangle.
// Version 1 keys by how close each pixel's chroma lies to the key colour:
// setParams_v1_Similar sets the threshold (relative distance to the key,
// default 0.4 for codes 2 and 3, 0.2 for code 1; setting a key code restores
// the default; larger keys more out). setParams_v1_Cal_Similar asks for a
// one-off calibration of the threshold on the next NV12 or YUY2 frame: that
// frame is keyed as before, then the threshold is searched within the code's
// bounds (0.35-0.5, code 1: 0.1-0.3) on a half-size copy of it, inside the
// same call; the result is passed to the callback (may be null) on the
// caller's thread and used from the following frame on. Version 1 ignores
// I420 frames (outputs untouched) and setParams_v2_coff_thres; version 2
// ignores the two version-1 calls.
//
// Frames: width a multiple of 4 (at least 4), height a multiple of 2 (at
// least 2), sides up to 16384, planes tightly packed; other frames print one
// line and leave the outputs untouched:
//   NV12  Y (w x h bytes), interleaved Cb Cr (w x h/2 bytes)
//   I420  Y (w x h), Cb (w/2 x h/2), Cr (w/2 x h/2)
//   YUY2  one plane of 2w x h bytes: Y0 Cb Y1 Cr per pixel pair
// Colour convention: BT.709 matrix, limited range (Y 16-235, Cb/Cr 16-240).
// Version 2 handles all three layouts, version 1 NV12 and YUY2.
#pragma once

#include <cstdint>

#if defined(_WIN32)
#if defined(CMATTE_BUILDING)
#define CMATTE_EXPORT __declspec(dllexport)
#else
#define CMATTE_EXPORT __declspec(dllimport)
#endif
#else
#define CMATTE_EXPORT __attribute__((visibility("default")))
#endif

class base_cm;

class CMATTE_EXPORT ColorMatting {
public:
    ColorMatting(int algVersion, int gpuPriority);
    ~ColorMatting();
    ColorMatting(const ColorMatting&) = delete;
    ColorMatting& operator=(const ColorMatting&) = delete;

    // Always 2000, the library version (not the keyer version).
    int getVersion();
    // 1 when algVersion is the current one (nothing changes); otherwise builds
    // the new keyer from its defaults: 0 on success, -1 when its set-up failed.
    int switchAlgVersion(int algVersion, int gpuPriority);

    void setParams_KeyColor(int code);
    void setParams_v1_Similar(float similar);
    void setParams_v1_Cal_Similar(void (*callback)(float similar));
    void setParams_v2_coff_thres(float coff);
    void setParams_v2_refine(int on);
    void setParams_v2_detail_keep(int on);
    void setParams_v2_unmix(int on);
    void setParams_v2_spill(float strength, int rangePixels);
    void setParams_v2_levels(float clipBlack, float clipWhite);
    void setParams_v2_garbage(int x, int y, int w, int h);
    void setParams_v2_holdout(int x, int y, int w, int h);

    void exec_ColorMatting_NV12(int w, int h, const unsigned char* camY, const unsigned char* camUV,
                                const unsigned char* bgY, const unsigned char* bgUV,
                                unsigned char* outY, unsigned char* outUV);
    void exec_ColorMatting_YUY2(int w, int h, const unsigned char* cam, const unsigned char* bg,
                                unsigned char* out);
    void exec_ColorMatting_I420(int w, int h, const unsigned char* camY, const unsigned char* camU,
                                const unsigned char* camV, const unsigned char* bgY,
                                const unsigned char* bgU, const unsigned char* bgV,
                                unsigned char* outY, unsigned char* outU, unsigned char* outV);

    // The layout below is part of the interface: hosts allocate the object.
    std::int32_t gpuPriority;
    std::int32_t algVersion;
    std::int64_t reserved;
    std::uint32_t ready;
    std::int32_t libVersion;
    base_cm* alg;
};
