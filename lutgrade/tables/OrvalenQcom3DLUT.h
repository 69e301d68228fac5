// The table builder: turns hue/saturation/value adjustments into a 17-point
// colour table. Each adjustment is spread over three grids that partition HSV
// space (48 hue sectors of 7.5 degrees, 30 saturation and 30 value bins), then
// every table point is converted to HSV, shifted by its grid cell and
// converted back. Adjustments apply one after the other to the table the
// previous one left.
#pragma once

#include <cstdint>
#include <vector>

#include "lutgrade/Lut3D.h"
#include "tables/spread_curve.h"

namespace Orvalen {

// The saturation and value bounds of an adjustment mode (the hue fields are
// left as they are): 0..1 for absolute targets, +-0.3 and +-0.15 otherwise.
void fill_lut_info_range(LutInfoRange& range, int mode);

// Wraps hue and targetHue once into 0..360 and clamps saturations and values
// to the entry's mode range.
void normalise_entry(Chi3dlutRgbcmyInfo& entry);

class OrvalenQcom3DLUT {
public:
    static constexpr int kEdge = 17;
    static constexpr int kSectors = 48;
    static constexpr int kBins = 30;
    static constexpr float kBinWidth = 0.036272f;
    static constexpr float kSectorWidth = 7.5f;

    // What a fill spreads: hue and saturation (absolute mode), value (both
    // modes), saturation (relative mode), hue with saturation and value (relative mode).
    enum Kind { kHueSaturation = 0, kValue = 1, kRelativeSaturation = 3, kRelativeHue = 4 };

    // The parameters of the latest fill.
    struct FillParameters {
        float curveS[lutgrade::kCurveLength];
        float curveS2[lutgrade::kCurveLength];
        float curveV[lutgrade::kCurveLength];
        float curveH[lutgrade::kCurveLength];
        float deltaS, deltaH, deltaV;
        int sBin, vBin;
        int startSector;
        int sSpan, vSpan, hSpan;
        float valueLimit, saturationLimit, hueLimit;
        int sector;  // the sector the hue walk is in
    };

    OrvalenQcom3DLUT();
    virtual ~OrvalenQcom3DLUT();
    OrvalenQcom3DLUT(const OrvalenQcom3DLUT&) = delete;
    OrvalenQcom3DLUT& operator=(const OrvalenQcom3DLUT&) = delete;

    // The identity table with the entries applied in order; each entry is
    // normalised in place. entries may be null when count is 0.
    const std::vector<std::uint8_t>& build(Chi3dlutRgbcmyInfo* entries, unsigned count);

    // The steps of build, open for tests.
    void reset_table();
    void apply_entry(Chi3dlutRgbcmyInfo& entry);
    void zero_grids();
    void fill(const Chi3dlutRgbcmyInfo& entry, Kind kind, int mode);
    void apply(float entrySaturation);
    // Shifts one colour (bytes R, G, B) by the grids; threshold is the
    // saturation a colour must exceed to be shifted in saturation.
    void shift_colour(std::uint8_t* rgb, float threshold) const;
    static float saturation_threshold(float entrySaturation);

    // kEdge^3 entries of R, G, B, A; entry (x, y, z) at (z * 17 + y) * 17 + x.
    const std::vector<std::uint8_t>& table() const { return mTable; }
    const FillParameters& parameters() const { return mP; }
    float hue_shift(int sector, int s) const { return mHue[cell(sector, s)]; }
    float saturation_shift(int sector, int s) const { return mSaturation[cell(sector, s)]; }
    float value_shift(int sector, int s, int v) const {
        return mValue[cell(sector, s) * kBins + v];
    }

private:
    static std::size_t cell(int sector, int s) {
        return static_cast<std::size_t>(sector) * kBins + s;
    }
    float& hue_at(int sector, int s) { return mHue[cell(sector, s)]; }
    float& saturation_at(int sector, int s) { return mSaturation[cell(sector, s)]; }
    float& value_at(int sector, int s, int v) { return mValue[cell(sector, s) * kBins + v]; }

    void set_parameters(const Chi3dlutRgbcmyInfo& e);
    void hue_walk();
    void saturation_walk(int sector);
    void shift_saturation_cell(int sector, int j, int weight, float sc, float hc, bool falling);
    void value_walk(int sector, int j, float limit);

    std::vector<float> mHue;         // degrees, per (sector, saturation bin)
    std::vector<float> mSaturation;  // per (sector, saturation bin)
    std::vector<float> mValue;       // per (sector, saturation bin, value bin)
    std::vector<std::uint8_t> mTable;
    FillParameters mP{};
    Kind mKind = kHueSaturation;
    int mMode = 0;
};

}  // namespace Orvalen
