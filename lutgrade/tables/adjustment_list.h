// Adjustment lists for generated tables: one entry per line, the eight fields
// of Chi3dlutRgbcmyInfo in order, separated by blanks or commas:
//   hue saturation value targetHue targetSaturation targetValue hueShift mode
// '#' starts a comment; blank lines are skipped.
#pragma once

#include <string>
#include <vector>

#include "lutgrade/Lut3D.h"

namespace lutgrade {

constexpr std::size_t kMaxAdjustmentEntries = 1024;

// false with a message naming the line when the text is not such a list.
bool parse_adjustments(const std::string& text, std::vector<Chi3dlutRgbcmyInfo>& entries,
                       std::string& error);

bool read_adjustment_file(const std::string& path, std::vector<Chi3dlutRgbcmyInfo>& entries,
                          std::string& error);

}  // namespace lutgrade
