// The automatic key threshold of the version-2 keyer, host side: which
// histogram tier a frame size uses, Otsu's method on the 256 counts, and the
// threshold steadied over frames per key colour.
#pragma once

#include <cstdint>

namespace cmatte {

// Where the key histogram of a w x h frame is taken from.
struct HistogramTier {
    enum Source { kKey, kHalfKey, kQuarterKey };
    Source source;
    int width;  // pixels counted per row
    int rows;
    int count;  // N, the number of pixels counted
};

HistogramTier histogram_tier(int w, int h);

// Otsu's threshold of 256 counts over n pixels, 0..255.
int otsu_threshold(const std::uint32_t counts[256], int n);

// The lower edge of the backdrop's histogram peak: the tallest bin above
// `threshold`, followed down while the bins hold at least 1% of its count.
// Key values from there up are clear backdrop; `threshold` when no bin above
// it holds a count.
int backdrop_lower_edge(const std::uint32_t counts[256], int threshold);

// Bounds, accepted values and the shared ring position per key colour code.
class ThresholdHistory {
public:
    static constexpr int kCodes = 4;
    static constexpr int kRing = 5;

    ThresholdHistory() { resetThresholdHistory(); }

    void resetThresholdHistory();

    // T from the automatic threshold t0, the factor f and the key colour code c;
    // codes outside 0..3 count as code 0.
    int stabiliseThreshold(int t0, float f, int c);

    int accept_count(int c) const { return mAcceptCount[c]; }
    int ring_position() const { return mRingPos; }
    const std::int32_t* ring(int c) const { return mRing[c]; }

private:
    std::int32_t mAcceptCount[kCodes];
    std::int32_t mRingPos;
    std::int32_t mRing[kCodes][kRing];
    std::int32_t mLower[kCodes];
    std::int32_t mUpper[kCodes];
};

}  // namespace cmatte
