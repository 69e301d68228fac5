#pragma once

#include <QString>
#include <cstdint>

// The installed version as a number: every "." and lower-case "v" removed,
// the rest read as a decimal integer; 0 when it does not read as one
// ("2.1.10" gives 2110, "v3.0" 30, "V1.2" 0).
int32_t versionValue(const QString& version);

// A download percentage as a whole number from 0 to 100, cut toward zero;
// NaN and negatives give 0, anything above 100 gives 100.
int wholePercent(double percent);
