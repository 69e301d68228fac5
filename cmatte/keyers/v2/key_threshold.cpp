#include "keyers/v2/key_threshold.h"

#include <algorithm>

namespace cmatte {

namespace {
constexpr std::int32_t kLower[ThresholdHistory::kCodes] = {0, 60, 80, 60};
constexpr std::int32_t kUpper[ThresholdHistory::kCodes] = {0, 121, 125, 130};
}  // namespace

HistogramTier histogram_tier(int w, int h) {
    if (w <= 1280 && h <= 1280) return {HistogramTier::kKey, w, h, w * h};
    if (w <= 1920 && h <= 1920) return {HistogramTier::kHalfKey, w / 2, h / 2, (w * h) / 4};
    return {HistogramTier::kQuarterKey, w / 4, h / 4, (w * h) / 16};
}

int otsu_threshold(const std::uint32_t counts[256], int n) {
    if (n <= 0) return 0;
    float p[256];
    float meanTotal = 0.0f;
    for (int v = 0; v < 256; ++v) {
        p[v] = static_cast<float>(counts[v]) / static_cast<float>(n);
        meanTotal += static_cast<float>(v) * p[v];
    }
    float omega = 0.0f, mu = 0.0f, best = 0.0f;
    int threshold = 0;
    for (int v = 0; v < 256; ++v) {
        omega += p[v];
        mu += static_cast<float>(v) * p[v];
        if (omega > 0.0f && omega < 1.0f) {
            const float d = omega * meanTotal - mu;
            const float sigma = d * d / ((1.0f - omega) * omega);
            if (sigma > best) {
                best = sigma;
                threshold = v;
            }
        }
    }
    return threshold;
}

void ThresholdHistory::resetThresholdHistory() {
    mRingPos = 0;
    for (int c = 0; c < kCodes; ++c) {
        mAcceptCount[c] = 0;
        std::fill(mRing[c], mRing[c] + kRing, 0);
        mLower[c] = kLower[c];
        mUpper[c] = kUpper[c];
    }
}

int ThresholdHistory::stabiliseThreshold(int t0, float f, int c) {
    if (c < 0 || c >= kCodes) c = 0;
    const int t = static_cast<int>(static_cast<float>(t0) * f);
    if (mLower[c] < t0 && t0 < mUpper[c]) {
        const int r = std::min(t, mUpper[c]);
        mRing[c][mRingPos] = r;
        mRingPos = (mRingPos + 1) % kRing;
        mAcceptCount[c] += 1;
        return r;
    }
    if (t <= mUpper[c]) return t;
    if (mAcceptCount[c] < kRing) return mUpper[c];
    std::sort(mRing[c], mRing[c] + kRing);
    return mRing[c][2];
}

int backdrop_lower_edge(const std::uint32_t counts[256], int threshold) {
    int peak = threshold;
    for (int v = std::max(threshold + 1, 0); v < 256; ++v)
        if (counts[v] > (peak > threshold ? counts[peak] : 0u)) peak = v;
    if (peak == threshold) return threshold;
    int edge = peak;
    while (edge - 1 > threshold && counts[edge - 1] * 100ull >= counts[peak]) --edge;
    return edge;
}

}  // namespace cmatte
