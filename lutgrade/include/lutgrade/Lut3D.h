// lutgrade: grades video frames through a 3D colour look-up table with OpenCL.
//
// Construct one Lut3D per video stream, load a table from a file (.cube,
// .3dl, .csp, .spi3d, .spi1d, .itx) or generate one from colour adjustments,
// then pass frames through it, optionally at a strength below 1.
// Frames passed before any table is loaded are left untouched. Diagnostics
// are printed to standard output.
//
// Frames: width a multiple of 4, height a multiple of 2, sides up to 16384,
// planes tightly packed:
//   NV12  Y (w x h bytes), interleaved Cb Cr (w x h/2 bytes)
//   I420  Y (w x h), Cb (w/2 x h/2), Cr (w/2 x h/2)
//   YUY2  one plane of 2w x h bytes: Y0 Cb Y1 Cr per pixel pair
// Source and destination may be the same planes.
//
// Colour convention: BT.709 matrix, limited range (Y 16-235, Cb/Cr 16-240).
// The table maps full-range RGB (0-1) to RGB; the chroma written for pixels
// that share a chroma sample is that of the mean of their graded colours.
#pragma once

#if defined(_WIN32)
#if defined(LUTGRADE_BUILDING)
#define LUTGRADE_EXPORT __declspec(dllexport)
#else
#define LUTGRADE_EXPORT __declspec(dllimport)
#endif
#else
#define LUTGRADE_EXPORT __attribute__((visibility("default")))
#endif

// One colour adjustment; mode is a Chi3dlutModeInfo value. Hues in degrees,
// saturations and values 0..1 (absolute) or as changes (relative).
//   absolute: move the colour (hue, saturation, value) towards
//             (targetHue, targetSaturation, targetValue); hueShift unused.
//   relative: over the hues around hue (targetHue sets the width), turn the
//             hue by hueShift degrees, or else change the saturation by
//             targetSaturation - saturation and the value by
//             targetValue - value (limited to +-0.15).
struct Chi3dlutRgbcmyInfo {
    float hue;
    float saturation;
    float value;
    float targetHue;
    float targetSaturation;
    float targetValue;
    float hueShift;
    int mode;
};

enum Chi3dlutModeInfo : int {
    CHI3DLUT_MODE_ABSOLUTE = 0,
    CHI3DLUT_MODE_RELATIVE = 1,
};

struct LutInfoRange {
    float maxHue;
    float maxSaturation;
    float maxValue;
    float minHue;
    float minSaturation;
    float minValue;
};

class base_lut;

class LUTGRADE_EXPORT Lut3D {
public:
    // gpuPriority: 0 prefers an Intel graphics platform, 1 NVIDIA CUDA, any other
    // value another platform. Never fails; a Lut3D without a device prints errors on use.
    explicit Lut3D(int gpuPriority);
    ~Lut3D();
    Lut3D(const Lut3D&) = delete;
    Lut3D& operator=(const Lut3D&) = delete;

    void exec_3DLut_NV12(int w, int h, const unsigned char* srcY, const unsigned char* srcUV,
                         unsigned char* dstY, unsigned char* dstUV);
    void exec_3DLut_I420(int w, int h, const unsigned char* srcY, const unsigned char* srcU,
                         const unsigned char* srcV, unsigned char* dstY, unsigned char* dstU,
                         unsigned char* dstV);
    void exec_3DLut_YUY2(int w, int h, const unsigned char* src, unsigned char* dst);

    // Reads a table file, chosen by its extension in any case: .cube and .itx
    // (3D, 1D, or a 1D shaper then 3D), .3dl (10- to 16-bit values), .csp
    // (with pre-curves), .spi3d or .spi1d. Resamples it to lutSize (2-256)
    // points per axis and makes it the current table. A file that is not a
    // whole, clean table is refused with one reason line naming it.
    // path is 8-bit text. On Windows it is read as UTF-8 when it is valid UTF-8
    // and names a file, else in the system's ANSI code page, so a Qt host may
    // pass QFile::encodeName(name) or name.toUtf8(); UTF-8 also reaches names
    // the code page cannot spell. Elsewhere the bytes are the file name.
    // 0 on success; otherwise the current table stays and a non-zero status is returned.
    int load_filter_of_cube_3dl_file(const char* path, int lutSize);

    // Builds a 17-point table from the identity by applying the count entries
    // in order, and makes it the current table. Each entry is written back
    // normalised: hue and targetHue wrapped once into 0..360, saturations and
    // values clamped to the mode's range (getLutInfoRange). The third argument
    // is not used. 0 on success; -1 without any change when entries is null
    // with a count above 0, or count is above 1024.
    int load_filter_from_HSV(Chi3dlutRgbcmyInfo* entries, unsigned int count, int unused);

    // Reads an adjustment list file, one entry per line: the eight fields of
    // Chi3dlutRgbcmyInfo in order, separated by blanks or commas, '#' starting
    // a comment. Then as load_filter_from_HSV. path is 8-bit text, read as
    // load_filter_of_cube_3dl_file reads it. 0 on success; -1 with one reason line naming the file
    // and the line when it is not such a list (the current table stays).
    int load_filter_from_HSV_file(const char* path);

    // How much of the current and later tables applies: 0 leaves frames as
    // they are, 1 (the default) applies the table in full, and values between
    // mix the two. Applies from the next frame; a value outside 0-1 is refused
    // with an error line and changes nothing.
    void set_strength(float strength);

    // Saturation and value bounds of an adjustment mode; the hue fields are left as they are.
    void getLutInfoRange(LutInfoRange& range, Chi3dlutModeInfo mode);

private:
    static constexpr unsigned int kMaxAdjustments = 1024;
    base_lut* impl_;
};
