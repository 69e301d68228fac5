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

  int accept_count(int c) const { return acceptCount_[c]; }
  int ring_position() const { return ringPos_; }
  const std::int32_t* ring(int c) const { return ring_[c]; }

 private:
  std::int32_t acceptCount_[kCodes];
  std::int32_t ringPos_;
  std::int32_t ring_[kCodes][kRing];
  std::int32_t lower_[kCodes];
  std::int32_t upper_[kCodes];
};

}  // namespace cmatte
