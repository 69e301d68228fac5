#include "tables/OrvalenQcom3DLUT.h"

#include <algorithm>
#include <cmath>

#include "tables/hsv_colour.h"

namespace Orvalen {
namespace {

using Builder = OrvalenQcom3DLUT;
constexpr int kLastSector = Builder::kSectors - 1;
constexpr int kLastBin = Builder::kBins - 1;

// Conversion toward zero that stays defined for any float: NaN gives 0 and
// values far outside every grid saturate.
int trunc_int(float v) {
    if (std::isnan(v)) return 0;
    return static_cast<int>(std::clamp(v, -1e6f, 1e6f));
}

int wrap_sector(int k) { return ((k % Builder::kSectors) + Builder::kSectors) % Builder::kSectors; }

std::uint8_t to_byte(float v) {
    if (!(v > 0.0f)) return 0;  // NaN too
    return v >= 255.0f ? 255 : static_cast<std::uint8_t>(v);
}

// Span in bins of a saturation or value difference, starting at bin; near
// the top a short span is shortened by one.
int bin_span(float delta, int bin) {
    int span = delta >= 0.0f ? trunc_int(delta / Builder::kBinWidth + 0.65f)
                             : trunc_int(delta / Builder::kBinWidth - 0.55f);
    if (bin + span > 28 && span < 3) --span;
    return span;
}

bool is_relative(int mode) { return mode != CHI3DLUT_MODE_ABSOLUTE; }

}  // namespace

void fill_lut_info_range(LutInfoRange& range, int mode) {
    const bool relative = is_relative(mode);
    range.maxSaturation = relative ? 0.3f : 1.0f;
    range.maxValue = relative ? 0.15f : 1.0f;
    range.minSaturation = relative ? -0.3f : 0.0f;
    range.minValue = relative ? -0.15f : 0.0f;
}

void normalise_entry(Chi3dlutRgbcmyInfo& e) {
    for (float* hue : {&e.hue, &e.targetHue}) {
        if (*hue >= 360.0f)
            *hue -= 360.0f;
        else if (*hue < 0.0f)
            *hue += 360.0f;
    }
    LutInfoRange range{};
    fill_lut_info_range(range, e.mode);
    for (float* s : {&e.saturation, &e.targetSaturation})
        *s = std::clamp(*s, range.minSaturation, range.maxSaturation);
    for (float* v : {&e.value, &e.targetValue}) *v = std::clamp(*v, range.minValue, range.maxValue);
}

OrvalenQcom3DLUT::OrvalenQcom3DLUT()
    : mHue(kSectors * kBins),
      mSaturation(kSectors * kBins),
      mValue(kSectors * kBins * kBins),
      mTable(kEdge * kEdge * kEdge * 4, 0) {
    reset_table();
}

OrvalenQcom3DLUT::~OrvalenQcom3DLUT() = default;

const std::vector<std::uint8_t>& OrvalenQcom3DLUT::build(Chi3dlutRgbcmyInfo* entries,
                                                         unsigned count) {
    reset_table();
    for (unsigned i = 0; entries && i < count; ++i) apply_entry(entries[i]);
    return mTable;
}

void OrvalenQcom3DLUT::reset_table() {
    std::uint8_t axis[kEdge];
    for (int i = 0; i < kEdge; ++i)
        axis[i] = to_byte(static_cast<float>(i) * 0.0625f * 255.0f + 0.5f);
    std::size_t o = 0;
    for (int z = 0; z < kEdge; ++z)
        for (int y = 0; y < kEdge; ++y)
            for (int x = 0; x < kEdge; ++x, o += 4) {
                mTable[o] = axis[x];
                mTable[o + 1] = axis[y];
                mTable[o + 2] = axis[z];
            }
}

void OrvalenQcom3DLUT::apply_entry(Chi3dlutRgbcmyInfo& entry) {
    zero_grids();
    normalise_entry(entry);
    if (entry.mode == CHI3DLUT_MODE_ABSOLUTE) {
        if (entry.saturation > 0.065f) fill(entry, kHueSaturation, entry.mode);
        if (entry.saturation > 0.1f && entry.value != entry.targetValue)
            fill(entry, kValue, entry.mode);
    } else if (entry.mode == CHI3DLUT_MODE_RELATIVE) {
        if (entry.hueShift != 0.0f) {
            fill(entry, kRelativeHue, entry.mode);
        } else {
            if (entry.saturation != entry.targetSaturation)
                fill(entry, kRelativeSaturation, entry.mode);
            if (entry.value != entry.targetValue) fill(entry, kValue, entry.mode);
        }
    }
    apply(entry.saturation);
}

void OrvalenQcom3DLUT::zero_grids() {
    std::fill(mHue.begin(), mHue.end(), 0.0f);
    std::fill(mSaturation.begin(), mSaturation.end(), 0.0f);
    std::fill(mValue.begin(), mValue.end(), 0.0f);
}

void OrvalenQcom3DLUT::fill(const Chi3dlutRgbcmyInfo& entry, Kind kind, int mode) {
    mKind = kind;
    mMode = mode;
    set_parameters(entry);
    hue_walk();
}

void OrvalenQcom3DLUT::set_parameters(const Chi3dlutRgbcmyInfo& e) {
    const float h1 = e.hue, s1 = e.saturation, v1 = e.value;
    const float h2 = e.targetHue, s2 = e.targetSaturation, v2 = e.targetValue;
    const bool relative = is_relative(mMode);

    // The bands the walks cover: the entry's own saturations for an absolute
    // hue move, else wide fixed bands in the direction of the change.
    float vHi, vLo, sHi, sLo;
    if (mKind != kValue && !relative) {
        vHi = vLo = v1;
        sHi = s2;
        sLo = s1;
    } else {
        vHi = v1 > v2 ? 0.3f : 0.98f;
        vLo = v1 > v2 ? 0.98f : 0.15f;
        sHi = s1 > s2 ? 0.2f : 1.0f;
        sLo = s1 > s2 ? 1.0f : 0.2f;
    }

    mP.deltaV = vHi - vLo;
    mP.vBin = trunc_int(vLo / kBinWidth + 0.55f);
    mP.vSpan = bin_span(mP.deltaV, mP.vBin);
    lutgrade::spread_curve(std::abs(mP.vSpan), mP.curveV);

    mP.deltaS = sHi - sLo;
    float dh = h2 - h1;
    if (dh < -200.0f) dh += 360.0f;
    if (dh > 180.0f) dh -= 360.0f;
    mP.deltaH = dh;
    mP.sBin = std::max(trunc_int(sLo / kBinWidth + 0.55f), 0);
    int b = trunc_int(h1 / kSectorWidth);
    if (trunc_int(h1 - kSectorWidth * static_cast<float>(b)) > 3) ++b;
    mP.startSector = std::min(b, kLastSector);
    mP.sSpan = bin_span(mP.deltaS, mP.sBin);
    mP.hSpan =
        dh >= 0.0f ? trunc_int(dh / kSectorWidth + 0.4f) : trunc_int(dh / kSectorWidth - 0.4f);
    lutgrade::spread_curve(std::abs(mP.sSpan), mP.curveS);
    std::copy(std::begin(mP.curveS), std::end(mP.curveS), mP.curveS2);
    lutgrade::spread_curve(std::abs(mP.hSpan), mP.curveH);

    if (relative) {
        mP.valueLimit = std::clamp(v2 - v1, -0.15f, 0.15f);
        mP.saturationLimit = s2 - s1;
        mP.hueLimit = e.hueShift;
        mP.deltaS = s2 - s1;
        mP.deltaH = mKind == kValue || mKind == kRelativeSaturation ? 0.0f : e.hueShift;
    } else {
        // Room to darken is measured down to a black level of 0.06; at or below
        // it there is none, and the asked-for change is used as it is.
        double limit = 0.0;
        if (v2 < v1)
            limit = double{v1} - 0.06 > 0.0 ? (double{v2} - v1) / (double{v1} - 0.06) * 0.15
                                            : double{v2} - v1;
        else if (v2 > v1)
            limit = (double{v2} - v1) / (1.0 - v1) * 0.15;
        mP.valueLimit = static_cast<float>(limit);
        mP.saturationLimit = mP.deltaS < 0.0f ? -0.1f : 0.1f;
        mP.hueLimit = mP.deltaH < 0.0f ? -15.0f : 15.0f;
        mP.deltaV = mP.valueLimit;
    }
}

void OrvalenQcom3DLUT::hue_walk() {
    const bool shiftsSaturation = mKind != kValue;
    const bool shiftsHue = mKind == kHueSaturation || mKind == kRelativeHue;
    const bool shiftsValue = mKind == kValue || mKind == kRelativeHue;
    const int b = mP.startSector;

    // A falling hue walks down from one sector above the start, a rising one
    // up from one sector below.
    float c = mP.deltaH;
    int steps, first, direction;
    if (c < 0.0f) {
        c += 1.0f;
        mP.deltaH = c;
        steps = mP.hSpan < -45 ? kSectors : 3 - mP.hSpan;
        first = b + 1;
        direction = -1;
    } else {
        steps = mP.hSpan > 45 ? kSectors : mP.hSpan + 3;
        first = b - 1;
        direction = 1;
    }

    for (int i = 0; i < steps; ++i) {
        const int k = wrap_sector(first + direction * i);
        if (shiftsSaturation) saturation_at(k, mP.sBin) = mP.deltaS * mP.curveH[i];
        if (shiftsHue) hue_at(k, mP.sBin) = is_relative(mMode) ? c : c * mP.curveH[i];
        // A large absolute move leaves the sectors next to the start alone.
        if (!is_relative(mMode) && mKind == kHueSaturation && c >= 0.0f) {
            if (c >= 8.0f)
                hue_at(wrap_sector(b + 1), mP.sBin) = saturation_at(wrap_sector(b + 1), mP.sBin) =
                    0.0f;
            if (c >= 23.0f)
                hue_at(wrap_sector(b), mP.sBin) = saturation_at(wrap_sector(b), mP.sBin) = 0.0f;
        }
        mP.sector = k;
        if (shiftsValue) value_at(k, mP.sBin, mP.vBin) = mP.deltaV;
        saturation_walk(k);
    }
}

void OrvalenQcom3DLUT::saturation_walk(int k) {
    const float sc = saturation_at(k, mP.sBin);
    const float hc = hue_at(k, mP.sBin);
    const int offset = mP.sBin == 0 ? 1 : 0;
    const bool shiftsSaturation = mKind != kValue;
    const bool shiftsValue = mKind == kValue || mKind == kRelativeHue;
    const bool falling = mP.sSpan < 0;

    auto visit = [&](int j, int i) {
        if (shiftsSaturation) shift_saturation_cell(k, j, i + offset, sc, hc, falling);
        if (shiftsValue && j >= 4) {
            const float sign = mP.deltaV < 0.0f ? -1.0f : 1.0f;
            const float limit = j == 4 || j == 5 ? 0.03f * sign : mP.valueLimit;
            if (falling) value_at(k, j, mP.vBin) = mP.deltaV;
            value_walk(k, j, limit);
        }
    };
    if (falling) {
        for (int i = 0, j = mP.sBin + 1; i < -mP.sSpan + 3 && j >= 1 && j <= kLastBin; ++i, --j)
            visit(j, i);
    } else {
        const int base = std::max(mP.sBin, 1);
        for (int j = std::max(mP.sBin - 1, 1), i = j - base + 1; i < mP.sSpan + 3 && j <= kLastBin;
             ++j, ++i)
            visit(j, i);
    }
}

void OrvalenQcom3DLUT::shift_saturation_cell(int k, int j, int w, float sc, float hc,
                                             bool falling) {
    float& s = saturation_at(k, j);
    float& h = hue_at(k, j);
    s = sc * mP.curveS[w];
    h = is_relative(mMode) ? std::trunc(hc) : std::trunc(hc * mP.curveS2[w]);
    if (falling) {
        s = std::max(s, mP.saturationLimit);
        for (int bin = 2; bin <= 5; ++bin)
            saturation_at(k, bin) = std::max(saturation_at(k, bin), 0.0f);
    } else {
        s = std::min(s, mP.saturationLimit);
        for (int bin = 26; bin <= 28; ++bin)
            saturation_at(k, bin) = std::min(saturation_at(k, bin), 0.0f);
        if (j > 28) saturation_at(k, kLastBin) = 0.0f;
        hue_at(k, 0) = 0.0f;
    }
    h = mP.deltaH < 0.0f ? std::max(h, mP.hueLimit) : std::min(h, mP.hueLimit);
    saturation_at(k, 0) = saturation_at(k, 1) = 0.0f;
}

void OrvalenQcom3DLUT::value_walk(int k, int j, float limit) {
    if (mP.vSpan < 0) {
        for (int i = 0, u = mP.vBin + 1; i < -mP.vSpan + 3 && u >= 1 && u <= kLastBin; ++i, --u)
            value_at(k, j, u) = std::max(mP.curveV[i] * mP.deltaV, limit);
        return;
    }
    const int base = std::max(mP.vBin, 1);
    for (int u = std::max(mP.vBin - 1, 1), i = u - base + 1; i < mP.vSpan + 3 && u <= kLastBin;
         ++u, ++i) {
        value_at(k, j, u) = std::min(mP.curveV[i] * mP.deltaV, mP.valueLimit);
        for (int bin = 26; bin <= 28; ++bin)
            value_at(k, j, bin) = std::min(value_at(k, j, bin), 0.0f);
        if (u > 28) value_at(k, j, kLastBin) = 0.0f;
        value_at(k, j, 0) = 0.0f;
    }
}

float OrvalenQcom3DLUT::saturation_threshold(float entrySaturation) {
    return std::max(static_cast<float>(trunc_int(entrySaturation / kBinWidth)) * 0.58f - 1.75f,
                    1.0f) *
           kBinWidth;
}

void OrvalenQcom3DLUT::apply(float entrySaturation) {
    const float threshold = saturation_threshold(entrySaturation);
    for (std::size_t o = 0; o < mTable.size(); o += 4) {
        shift_colour(&mTable[o], threshold);
        mTable[o + 3] = 255;
    }
}

void OrvalenQcom3DLUT::shift_colour(std::uint8_t* rgb, float threshold) const {
    const lutgrade::Hsv in =
        lutgrade::hsv_of_rgb(rgb[0] / 255.0f, rgb[1] / 255.0f, rgb[2] / 255.0f);

    // Nearest sector (sectors do not wrap here: hues near 360 stay in the last one).
    const float f = in.h / kSectorWidth;
    const int whole = trunc_int(f);
    int g = whole + (in.h - kSectorWidth * static_cast<float>(whole) > 3.75f ? 1 : 0);
    const int s = std::clamp(trunc_int(in.s / kBinWidth), 0, kLastBin);
    const int v = std::clamp(trunc_int(in.v / kBinWidth + 0.65f), 0, kLastBin);
    float weight = 1.0f;
    if (g >= kSectors) {
        g = kLastSector;
        weight = std::min(1.0f, f / static_cast<float>(kLastSector));
    } else if (g >= 1) {
        weight = std::min(1.0f, f / static_cast<float>(g));
    } else {
        g = 0;
    }

    float h = in.h + weight * hue_shift(g, s);
    if (h >= 360.0f) h -= 360.0f;
    float sat = in.s;
    if (sat > threshold) sat += saturation_shift(g, s);
    float val = in.v + value_shift(g, s, v);
    sat = std::clamp(sat, 0.0f, 1.0f);
    val = std::clamp(val, 0.0f, 1.0f);

    float out[3];
    lutgrade::rgb_of_hsv((h < 0.0f ? h + 360.0f : h) / 360.0f, sat, val, out);
    for (int c = 0; c < 3; ++c) rgb[c] = to_byte(out[c] * 255.0f + 0.5f);
}

}  // namespace Orvalen
