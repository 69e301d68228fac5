// The host side of the automatic key threshold: tiers, Otsu, steadying.
#include <gtest/gtest.h>

#include <cstdint>

#include "keyers/v2/key_threshold.h"
#include "keyers/v2/ver2_geometry.h"

using cmatte::HistogramTier;
using cmatte::ThresholdHistory;

TEST(HistogramTier, SourceAndCountFollowTheFrameSize) {
    const HistogramTier hd = cmatte::histogram_tier(1280, 720);
    EXPECT_EQ(hd.source, HistogramTier::kKey);
    EXPECT_EQ(hd.width, 1280);
    EXPECT_EQ(hd.rows, 720);
    EXPECT_EQ(hd.count, 921600);
    const HistogramTier fhd = cmatte::histogram_tier(1920, 1080);
    EXPECT_EQ(fhd.source, HistogramTier::kHalfKey);
    EXPECT_EQ(fhd.width, 960);
    EXPECT_EQ(fhd.rows, 540);
    EXPECT_EQ(fhd.count, 518400);
    const HistogramTier uhd = cmatte::histogram_tier(3840, 2160);
    EXPECT_EQ(uhd.source, HistogramTier::kQuarterKey);
    EXPECT_EQ(uhd.width, 960);
    EXPECT_EQ(uhd.rows, 540);
    EXPECT_EQ(uhd.count, 518400);
    EXPECT_EQ(cmatte::histogram_tier(720, 1280).source, HistogramTier::kKey);
    EXPECT_EQ(cmatte::histogram_tier(1284, 720).source, HistogramTier::kHalfKey);
}

TEST(Otsu, SeparatesTwoModesAndHandlesDegenerateHistograms) {
    std::uint32_t counts[256] = {};
    counts[40] = 600;
    counts[200] = 400;
    const int t = cmatte::otsu_threshold(counts, 1000);
    EXPECT_GE(t, 40);
    EXPECT_LT(t, 200);
    EXPECT_EQ(t, 40);  // the lowest of equal maxima

    std::uint32_t single[256] = {};
    single[128] = 50;
    EXPECT_EQ(cmatte::otsu_threshold(single, 50), 0);
    std::uint32_t empty[256] = {};
    EXPECT_EQ(cmatte::otsu_threshold(empty, 0), 0);

    // Two spread modes: the threshold falls in the valley between them.
    std::uint32_t spread[256] = {};
    for (int v = 20; v < 60; ++v) spread[v] = 10;
    for (int v = 150; v < 210; ++v) spread[v] = 10;
    const int s = cmatte::otsu_threshold(spread, 1000);
    EXPECT_GE(s, 59);
    EXPECT_LT(s, 150);
}

TEST(StabiliseThreshold, AcceptsInsideTheBoundsAndScales) {
    ThresholdHistory h;
    EXPECT_EQ(h.stabiliseThreshold(100, 1.0f, 2), 100);
    EXPECT_EQ(h.ring(2)[0], 100);
    EXPECT_EQ(h.accept_count(2), 1);
    EXPECT_EQ(h.ring_position(), 1);

    ThresholdHistory one;
    EXPECT_EQ(one.stabiliseThreshold(100, 0.5f, 1), 50);
    EXPECT_EQ(one.stabiliseThreshold(130, 0.9f, 1), 117);  // not accepted, 117 <= 121
    EXPECT_EQ(one.accept_count(1), 1);
    // Accepted values are capped at the upper bound.
    EXPECT_EQ(one.stabiliseThreshold(110, 1.5f, 1), 121);
}

TEST(StabiliseThreshold, ClampsThenTakesTheMedianOfFive) {
    ThresholdHistory h;
    EXPECT_EQ(h.stabiliseThreshold(150, 1.0f, 2), 125);
    for (int v : {90, 110, 95, 120, 100}) EXPECT_EQ(h.stabiliseThreshold(v, 1.0f, 2), v);
    EXPECT_EQ(h.stabiliseThreshold(150, 1.0f, 2), 100);
    const std::int32_t* ring = h.ring(2);
    for (int i = 1; i < 5; ++i) EXPECT_LE(ring[i - 1], ring[i]);  // left sorted

    // After a reset the upper bound applies again until five new values.
    h.resetThresholdHistory();
    EXPECT_EQ(h.stabiliseThreshold(150, 1.0f, 2), 125);
    EXPECT_EQ(h.accept_count(2), 0);
    EXPECT_EQ(h.ring_position(), 0);
}

TEST(StabiliseThreshold, SharesTheRingPositionAcrossCodes) {
    ThresholdHistory h;
    h.stabiliseThreshold(100, 1.0f, 2);
    h.stabiliseThreshold(100, 1.0f, 3);
    EXPECT_EQ(h.ring(3)[1], 100);
    EXPECT_EQ(h.ring(3)[0], 0);
}

TEST(StabiliseThreshold, CodeZeroAndCodesOutOfRangeGiveZero) {
    ThresholdHistory h;
    for (int code : {0, -1, 4, 1000, -2147483647 - 1}) {
        EXPECT_EQ(h.stabiliseThreshold(0, 1.0f, code), 0);
        EXPECT_EQ(h.stabiliseThreshold(120, 1.0f, code), 0) << code;
        EXPECT_EQ(h.stabiliseThreshold(255, 2.0f, code), 0) << code;
    }
    EXPECT_EQ(h.accept_count(0), 0);
}

TEST(Ver2Geometry, QuarterSizeAndGridsOf1080p) {
    const cmatte::Ver2Geometry g = cmatte::ver2_geometry(1920, 1080);
    EXPECT_EQ(g.qw, 480);
    EXPECT_EQ(g.qh, 272);
    EXPECT_EQ(g.fullW, 1920);
    EXPECT_EQ(g.fullH, 1088);
    EXPECT_EQ(g.quarter.x, 120u);
    EXPECT_EQ(g.quarter.y, 272u);
    EXPECT_EQ(g.box.x, 120u);
    EXPECT_EQ(g.box.y, 272u);
    EXPECT_EQ(g.upsample.x, 480u);
    EXPECT_EQ(g.upsample.y, 272u);
    EXPECT_EQ(g.frame.x, 480u);
    EXPECT_EQ(g.frame.y, 1080u);
    EXPECT_EQ(g.nv12Blend.y, 540u);
    EXPECT_EQ(cmatte::ver2_geometry(1282, 720).qw, 324);
}
