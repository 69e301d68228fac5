#pragma once

#include <QString>
#include <cstdint>
#include <optional>

// The installed version as a number: every "." and lower-case "v" removed,
// the rest read as a decimal integer; 0 when it does not read as one
// ("2.1.10" gives 2110, "v3.0" 30, "V1.2" 0).
int32_t versionValue(const QString& version);

// A download percentage as a whole number from 0 to 100, cut toward zero;
// NaN and negatives give 0, anything above 100 gives 100.
int wholePercent(double percent);

// Compares two dotted versions numerically, field by field, after dropping
// one leading "v" or "V"; missing fields count as 0 (1.2.10 > 1.2.9,
// 1.10 > 1.9, 1.2 == 1.2.0). Negative, zero or positive like strcmp; empty
// when either is not dotted numbers (an empty text, "2.0-beta").
std::optional<int> compareVersions(const QString& a, const QString& b);
