// The table builder against values worked out by hand from its formulas.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "tables/OrvalenQcom3DLUT.h"
#include "tables/spread_curve.h"

namespace {

using Orvalen::OrvalenQcom3DLUT;
using Bytes = std::vector<std::uint8_t>;

constexpr int kAxis[17] = {0,   16,  32,  48,  64,  80,  96,  112, 128,
                           143, 159, 175, 191, 207, 223, 239, 255};

Chi3dlutRgbcmyInfo entry(float h, float s, float v, float th, float ts, float tv, float shift,
                         int mode) {
    return {h, s, v, th, ts, tv, shift, mode};
}

const std::uint8_t* point(const Bytes& t, int x, int y, int z) {
    return &t[4 * ((z * 17 + y) * 17 + x)];
}

Bytes identity() {
    OrvalenQcom3DLUT b;
    return b.build(nullptr, 0);
}

// Whether every point of the table has the identity's colour.
bool is_identity_rgb(const Bytes& t) {
    const Bytes id = identity();
    for (std::size_t i = 0; i < t.size(); i += 4)
        if (t[i] != id[i] || t[i + 1] != id[i + 1] || t[i + 2] != id[i + 2]) return false;
    return true;
}

bool grids_are_zero(const OrvalenQcom3DLUT& b) {
    for (int k = 0; k < 48; ++k)
        for (int s = 0; s < 30; ++s) {
            if (b.hue_shift(k, s) != 0.0f || b.saturation_shift(k, s) != 0.0f) return false;
            for (int v = 0; v < 30; ++v)
                if (b.value_shift(k, s, v) != 0.0f) return false;
        }
    return true;
}

// W_n(i) = D - C exp(K i) - B i with the fitted constants.
double w(double d, double c, double k, double b, int i) { return d - c * std::exp(k * i) - b * i; }
double w2(int i) { return w(1.13440331, 0.01250351, 0.6890572, 0.10939835, i); }
double w3(int i) { return w(1.11441017, 0.00821222, 0.62888305, 0.09529326, i); }

TEST(SpreadCurve, SmallCountsTableAndFormula) {
    float c[lutgrade::kCurveLength];
    lutgrade::spread_curve(0, c);
    EXPECT_FLOAT_EQ(c[0], 1.2926f);
    EXPECT_FLOAT_EQ(c[1], 1.0f);
    EXPECT_FLOAT_EQ(c[2], 0.7074f);
    EXPECT_EQ(c[3], 0.0f) << "n + 3 weights, the rest zero";

    lutgrade::spread_curve(1, c);
    EXPECT_NEAR(c[0], 1.61556364 - 0.3648487, 1e-6);
    EXPECT_NEAR(c[3], 1.61556364 - 0.3648487 * std::exp(3 * 0.26152779), 1e-6);

    lutgrade::spread_curve(5, c);
    EXPECT_NEAR(c[7], w(1.08161432, 0.00594676, 0.50696476, 0.07057556, 7), 1e-6);
    EXPECT_EQ(c[8], 0.0f);

    // From 15 on the constants follow ln(n - 2).
    lutgrade::spread_curve(20, c);
    const double l = std::log(18.0);
    const double k = 0.69410104 - 0.15962533 * l, d = 1.13513372 - 0.03792255 * l;
    const double cc = 0.01351789 - 0.00418684 * l, b = 0.11011797 - 0.03052266 * l;
    for (int i : {0, 10, 22}) EXPECT_NEAR(c[i], w(d, cc, k, b, i), 1e-5) << i;
    EXPECT_EQ(c[23], 0.0f);
}

TEST(HsvTable, NoEntriesGiveTheIdentity) {
    const Bytes t = identity();
    ASSERT_EQ(t.size(), 17u * 17 * 17 * 4);
    for (int i = 0; i < 17; ++i) {
        EXPECT_EQ(point(t, i, 0, 0)[0], kAxis[i]);
        EXPECT_EQ(point(t, 0, i, 0)[1], kAxis[i]);
        EXPECT_EQ(point(t, 0, 0, i)[2], kAxis[i]);
    }
    EXPECT_EQ(point(t, 3, 9, 16)[0], 48);
    EXPECT_EQ(point(t, 3, 9, 16)[1], 143);
    EXPECT_EQ(point(t, 3, 9, 16)[2], 255);
}

// Entries that fill nothing only send the table through HSV and back, which
// gives every point its own colour again.
TEST(HsvTable, EntriesThatFillNothing) {
    struct Case {
        const char* why;
        Chi3dlutRgbcmyInfo e;
    } cases[] = {
        {"absolute, saturation 0.05 is not above 0.065",
         entry(120, 0.05f, 0.5f, 200, 0.9f, 0.1f, 0, 0)},
        {"relative, no hue shift, equal saturations and values",
         entry(120, 0.1f, 0.1f, 150, 0.1f, 0.1f, 0, 1)},
        {"unknown mode", entry(120, 0.1f, 0.1f, 150, 0.3f, 0.1f, 30, 7)},
    };
    for (Case& c : cases) {
        OrvalenQcom3DLUT b;
        const Bytes t = b.build(&c.e, 1);
        EXPECT_TRUE(grids_are_zero(b)) << c.why;
        EXPECT_TRUE(is_identity_rgb(t)) << c.why;
        EXPECT_EQ(point(t, 5, 6, 7)[3], 255) << "an applied entry sets byte 3";
    }
}

// Absolute move of hue 120 to 135 and saturation 0.5 to 0.6, value kept.
TEST(HsvTable, AbsoluteHueAndSaturationMoveByHand) {
    OrvalenQcom3DLUT b;
    const Chi3dlutRgbcmyInfo e = entry(120, 0.5f, 0.6f, 135, 0.6f, 0.6f, 0, 0);
    b.fill(e, OrvalenQcom3DLUT::kHueSaturation, 0);
    const OrvalenQcom3DLUT::FillParameters& p = b.parameters();
    // sBin = trunc(0.5 / 0.036272 + 0.55) = trunc(14.33); sSpan = trunc(0.1 / 0.036272 + 0.65) =
    // trunc(3.41); hSpan = trunc(15 / 7.5 + 0.4); start sector 120 / 7.5 = 16.
    EXPECT_EQ(p.sBin, 14);
    EXPECT_EQ(p.sSpan, 3);
    EXPECT_EQ(p.hSpan, 2);
    EXPECT_EQ(p.startSector, 16);
    EXPECT_EQ(p.vBin, 17);  // trunc(0.6 / 0.036272 + 0.55) = trunc(17.09)
    EXPECT_FLOAT_EQ(p.saturationLimit, 0.1f);
    EXPECT_FLOAT_EQ(p.hueLimit, 15.0f);
    EXPECT_EQ(p.sector, 19) << "five sectors upward from 15";

    // Sector 15 is step 0 of the hue walk: Hc = 15 W2(0), Sc = 0.1 W2(0).
    const double hc15 = 15 * w2(0), sc15 = 0.1 * w2(0);
    // Bin 13 is step 0 of the saturation walk: both over their limits.
    EXPECT_FLOAT_EQ(b.saturation_shift(15, 13), 0.1f);
    EXPECT_FLOAT_EQ(b.hue_shift(15, 13), 15.0f);
    // Bin 16 is step 3, bin 18 step 5: under the limits, hue in whole degrees.
    EXPECT_NEAR(b.saturation_shift(15, 16), sc15 * w3(3), 1e-6);
    EXPECT_FLOAT_EQ(b.hue_shift(15, 16), std::trunc(hc15 * w3(3)));  // 13
    EXPECT_NEAR(b.saturation_shift(15, 18), sc15 * w3(5), 1e-6);
    EXPECT_FLOAT_EQ(b.hue_shift(15, 18), std::trunc(hc15 * w3(5)));  // 7
    EXPECT_EQ(b.saturation_shift(15, 19), 0.0f) << "six bins, 13 to 18";
    // Sector 18 is step 3 of the hue walk.
    EXPECT_NEAR(b.saturation_shift(18, 13), 0.1 * w2(3) * w3(0), 1e-6);
    EXPECT_FLOAT_EQ(b.hue_shift(18, 13), std::trunc(15 * w2(3) * w3(0)));  // 11
    // A move of 8 degrees or more leaves the sector above the start unshifted.
    for (int s = 0; s < 30; ++s) {
        EXPECT_EQ(b.hue_shift(17, s), 0.0f);
        EXPECT_EQ(b.saturation_shift(17, s), 0.0f);
    }
    EXPECT_NE(b.hue_shift(16, 14), 0.0f) << "the start sector goes only from 23 degrees on";
    EXPECT_EQ(b.hue_shift(14, 14), 0.0f);
    EXPECT_EQ(b.hue_shift(20, 14), 0.0f);

    // Table point (64, 128, 80): H = 120 + 60 * 16 / 64 = 135 (sector 18, weight 18 / 18),
    // S = 0.5 (bin 13, above the threshold (13 * 0.58 - 1.75) * 0.036272 = 0.21), V = 128 / 255.
    // H' = 146, S' = 0.5 + sat(18, 13); R = V (1 - S'), B = R + (V - R) * 26 / 60.
    b.apply(0.5f);
    const double v = 128 / 255.0, s = 0.5 + b.saturation_shift(18, 13);
    const double r = v * (1 - s), blue = r + (v - r) * 26 / 60;
    const std::uint8_t* out = point(b.table(), 4, 8, 5);
    EXPECT_EQ(out[0], static_cast<int>(r * 255 + 0.5));  // 54
    EXPECT_EQ(out[1], 128);
    EXPECT_EQ(out[2], static_cast<int>(blue * 255 + 0.5));  // 86
}

// Hue 0 to 350: the difference wraps to -10 and the walk runs downward.
TEST(HsvTable, HueDifferenceWrapsAndWalksDownward) {
    OrvalenQcom3DLUT b;
    b.fill(entry(0, 0.5f, 0.6f, 350, 0.5f, 0.6f, 0, 0), OrvalenQcom3DLUT::kHueSaturation, 0);
    const OrvalenQcom3DLUT::FillParameters& p = b.parameters();
    EXPECT_EQ(p.hSpan, -1);  // trunc(-10 / 7.5 - 0.4)
    EXPECT_FLOAT_EQ(p.deltaH, -9.0f) << "a falling difference is moved one degree towards 0";
    EXPECT_FLOAT_EQ(p.hueLimit, -15.0f);
    EXPECT_EQ(p.sector, 46) << "sectors 1, 0, 47, 46";
    // Sector 1 is step 0 (W1(0)), sector 46 step 3 (W1(3)); saturation bins 13 to 15 weigh W0.
    const double w1at0 = 1.61556364 - 0.3648487,
                 w1at3 = 1.61556364 - 0.3648487 * std::exp(3 * 0.26152779);
    EXPECT_FLOAT_EQ(b.hue_shift(1, 13), std::trunc(-9 * w1at0 * 1.2926));   // -14
    EXPECT_FLOAT_EQ(b.hue_shift(1, 15), std::trunc(-9 * w1at0 * 0.7074));   // -7
    EXPECT_FLOAT_EQ(b.hue_shift(46, 13), std::trunc(-9 * w1at3 * 1.2926));  // -9
    EXPECT_LT(b.hue_shift(0, 14), 0.0f);
    EXPECT_LT(b.hue_shift(47, 14), 0.0f);
    EXPECT_EQ(b.hue_shift(2, 14), 0.0f);
    EXPECT_EQ(b.hue_shift(45, 14), 0.0f);
}

// Relative turn of 11 degrees around hue 355 (width to 5): a table colour at
// 357 degrees falls in sector 47, not past the end.
TEST(HsvTable, RelativeHueTurnNearTheEndOfTheCircle) {
    OrvalenQcom3DLUT b;
    b.fill(entry(355, 0, 0, 5, 0, 0, 11, 1), OrvalenQcom3DLUT::kRelativeHue, 1);
    EXPECT_EQ(b.parameters().startSector, 47);
    EXPECT_EQ(b.parameters().hSpan, 1);  // 5 - 355 = -350, +360 = 10
    for (int k : {46, 47, 0, 1}) EXPECT_FLOAT_EQ(b.hue_shift(k, 27), 11.0f) << k;
    EXPECT_EQ(b.hue_shift(2, 27), 0.0f);
    EXPECT_EQ(b.hue_shift(45, 27), 0.0f);
    EXPECT_EQ(b.hue_shift(47, 4), 0.0f) << "the saturation walk starts at bin 5";

    // (255, 0, 12): H = 360 - 60 * 12 / 255 = 357.18, F = 47.62 rounds to 48: sector 47,
    // weight 1. H + 11 wraps to 8.18; G = 255 * 8.18 / 60 = 34.75.
    std::uint8_t rgb[3] = {255, 0, 12};
    b.shift_colour(rgb, OrvalenQcom3DLUT::saturation_threshold(0));
    EXPECT_EQ(rgb[0], 255);
    EXPECT_EQ(rgb[1], 35);
    EXPECT_EQ(rgb[2], 0);
}

// Relative value change of +0.12 over hues 0 to 15.
TEST(HsvTable, RelativeValueChangeByHand) {
    OrvalenQcom3DLUT b;
    b.fill(entry(0, 0, 0, 15, 0, 0.12f, 0, 1), OrvalenQcom3DLUT::kValue, 1);
    const OrvalenQcom3DLUT::FillParameters& p = b.parameters();
    // Rising bands: value 0.15 to 0.98, saturation 0.2 to 1.0.
    EXPECT_EQ(p.vBin, 4);    // trunc(0.15 / 0.036272 + 0.55)
    EXPECT_EQ(p.vSpan, 23);  // trunc(0.83 / 0.036272 + 0.65)
    EXPECT_EQ(p.sBin, 6);
    EXPECT_EQ(p.sSpan, 22);
    EXPECT_FLOAT_EQ(p.valueLimit, 0.12f);
    // The value walk covers bins 3 to 28, capped at the limit (the weights times
    // 0.83 stay above it), then bins 26 to 28 are cleared.
    for (int k : {47, 0, 1, 2, 3})
        for (int j : {5, 10, 29}) {
            EXPECT_FLOAT_EQ(b.value_shift(k, j, 3), 0.12f) << k << "," << j;
            EXPECT_FLOAT_EQ(b.value_shift(k, j, 25), 0.12f);
            EXPECT_EQ(b.value_shift(k, j, 2), 0.0f);
            EXPECT_EQ(b.value_shift(k, j, 26), 0.0f);
        }
    EXPECT_EQ(b.value_shift(0, 4, 10), 0.0f) << "the saturation walk starts at bin 5";
    EXPECT_EQ(b.value_shift(4, 10, 10), 0.0f);
    EXPECT_TRUE(b.hue_shift(0, 10) == 0.0f && b.saturation_shift(0, 10) == 0.0f);

    // (159, 48, 48): hue 0, S = 111 / 159 (bin 19), V = 159 / 255 (bin 17) gains 0.12.
    std::uint8_t rgb[3] = {159, 48, 48};
    b.shift_colour(rgb, OrvalenQcom3DLUT::saturation_threshold(0));
    const double v = 159 / 255.0 + 0.12;
    EXPECT_EQ(rgb[0], static_cast<int>(v * 255 + 0.5));             // 190
    EXPECT_EQ(rgb[1], static_cast<int>(v * 48 / 159 * 255 + 0.5));  // 57
    EXPECT_EQ(rgb[2], rgb[1]);
}

TEST(HsvTable, GreysAreNeverShiftedInSaturation) {
    Chi3dlutRgbcmyInfo e[] = {entry(0, 0.4f, 0.5f, 20, 1.0f, 0.9f, 0, 0),
                              entry(0, 0, 0, 60, 0.3f, 0, 0, 1)};
    for (Chi3dlutRgbcmyInfo& one : e) {
        OrvalenQcom3DLUT b;
        const Bytes t = b.build(&one, 1);
        for (int k = 0; k < 48; ++k) {
            EXPECT_EQ(b.saturation_shift(k, 0), 0.0f);
            EXPECT_EQ(b.saturation_shift(k, 1), 0.0f);
        }
        for (int i = 0; i < 17; ++i)
            for (int c = 0; c < 3; ++c)
                EXPECT_EQ(point(t, i, i, i)[c], kAxis[i]) << "grey " << kAxis[i];
        EXPECT_FALSE(is_identity_rgb(t)) << "the entry did change colours";
    }
}

TEST(HsvTable, EntriesAreNormalisedInPlace) {
    Chi3dlutRgbcmyInfo e[] = {
        entry(-30, 1.5f, -0.2f, 400, -1, 2, 5, 0),
        entry(720, 0.5f, 0.5f, -400, -0.5f, -1, 5, 1),
        entry(10, 0.5f, 0.5f, 10, 0.1f, 0.1f, 0, 7),
    };
    OrvalenQcom3DLUT b;
    b.build(e, 3);
    EXPECT_FLOAT_EQ(e[0].hue, 330);
    EXPECT_FLOAT_EQ(e[0].targetHue, 40);
    EXPECT_FLOAT_EQ(e[0].saturation, 1);
    EXPECT_FLOAT_EQ(e[0].value, 0);
    EXPECT_FLOAT_EQ(e[0].targetSaturation, 0);
    EXPECT_FLOAT_EQ(e[0].targetValue, 1);
    EXPECT_FLOAT_EQ(e[0].hueShift, 5) << "hueShift is left alone";
    EXPECT_FLOAT_EQ(e[1].hue, 360) << "wrapped once only";
    EXPECT_FLOAT_EQ(e[1].targetHue, -40);
    EXPECT_FLOAT_EQ(e[1].saturation, 0.3f);
    EXPECT_FLOAT_EQ(e[1].targetSaturation, -0.3f);
    EXPECT_FLOAT_EQ(e[1].value, 0.15f);
    EXPECT_FLOAT_EQ(e[1].targetValue, -0.15f);
    EXPECT_FLOAT_EQ(e[2].saturation, 0.3f) << "other modes are clamped like mode 1";
    EXPECT_FLOAT_EQ(e[2].value, 0.15f);
    EXPECT_EQ(e[2].mode, 7);
}

// Each entry shifts the table the previous one left: two turns of 10
// degrees around hue 105 move (80, 159, 48) twice.
TEST(HsvTable, EntriesApplyCumulatively) {
    Chi3dlutRgbcmyInfo e[] = {entry(105, 0, 0, 135, 0, 0, 10, 1),
                              entry(105, 0, 0, 135, 0, 0, 10, 1)};
    OrvalenQcom3DLUT b;
    // Once: H = 120 - 60 * 32 / 111 = 102.70 (sector 14 by rounding, weight 13.69 / 14)
    // becomes 112.48, so R = 48 + 111 * (120 - 112.48) / 60 = 61.9.
    const Bytes once = b.build(e, 1);
    EXPECT_EQ(point(once, 5, 10, 3)[0], 62);
    EXPECT_EQ(point(once, 5, 10, 3)[1], 159);
    EXPECT_EQ(point(once, 5, 10, 3)[2], 48);
    // Twice: (62, 159, 48) has H = 112.43 (sector 15, weight 14.99 / 15) and becomes
    // 122.43, past green: B = 48 + 111 * 2.43 / 60 = 52.5.
    const Bytes twice = b.build(e, 2);
    EXPECT_EQ(point(twice, 5, 10, 3)[0], 48);
    EXPECT_EQ(point(twice, 5, 10, 3)[1], 159);
    EXPECT_EQ(point(twice, 5, 10, 3)[2], 52);
}

// Darkening a colour at or below the 0.06 black level by an absolute target:
// the relative formula has no room there, so the asked-for change is used,
// and nothing gets brighter.
TEST(HsvTable, DarkeningNearBlackOnlyDarkens) {
    for (float v1 : {0.05f, 0.06f}) {
        Chi3dlutRgbcmyInfo e = entry(0, 0.5f, v1, 0, 0.5f, 0.0f, 0, 0);
        OrvalenQcom3DLUT b;
        b.fill(e, OrvalenQcom3DLUT::kValue, 0);
        EXPECT_FLOAT_EQ(b.parameters().valueLimit, -v1);
        const Bytes t = b.build(&e, 1);
        const Bytes id = identity();
        for (std::size_t i = 0; i < t.size(); i += 4)
            ASSERT_LE(std::max({t[i], t[i + 1], t[i + 2]}), std::max({id[i], id[i + 1], id[i + 2]}))
                << i / 4;
    }
    // Above the black level the relative formula holds: (0.3 - 0.5) / (0.5 - 0.06) * 0.15.
    OrvalenQcom3DLUT b;
    b.fill(entry(0, 0.5f, 0.5f, 0, 0.5f, 0.3f, 0, 0), OrvalenQcom3DLUT::kValue, 0);
    EXPECT_NEAR(b.parameters().valueLimit, (0.3 - 0.5) / (0.5 - 0.06) * 0.15, 1e-6);
}

// Fields far outside any range (not-a-number, infinities, hues many turns
// away) still give a table of defined bytes; the sanitizer build checks the
// arithmetic and indexing on the way.
TEST(HsvTable, WildFieldsStayDefined) {
    const float nan = std::numeric_limits<float>::quiet_NaN(),
                inf = std::numeric_limits<float>::infinity();
    Chi3dlutRgbcmyInfo e[] = {
        entry(nan, nan, nan, nan, nan, nan, nan, 0),
        entry(nan, 0.5f, 0.5f, 100, 0.9f, 0.2f, 0, 0),
        entry(inf, 0.5f, 0.5f, -inf, 0.9f, 0.2f, 0, 0),
        entry(-1e30f, 0.5f, 0.5f, 1e30f, 0.9f, 0.2f, 0, 0),
        entry(-3e38f, 0.5f, 0.5f, 3e38f, 0.9f, 0.2f, 0, 0),
        entry(-700, 0.5f, 0.5f, 100, 0.9f, 0.2f, 0, 0),
        entry(10, 0.2f, 0.1f, 200, 0.3f, 0.2f, 3e38f, 1),
        entry(10, 0.2f, 0.1f, 200, 0.3f, 0.2f, -inf, 1),
        entry(10, 0.2f, 0.1f, 200, 0.3f, 0.2f, nan, 1),
    };
    for (Chi3dlutRgbcmyInfo& one : e) {
        OrvalenQcom3DLUT b;
        EXPECT_EQ(b.build(&one, 1).size(), 17u * 17 * 17 * 4);
    }
}

}  // namespace
