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

// Compares two versions after dropping one leading "v" or "V": dotted
// numbers compared field by field, missing fields counting as 0 (1.2.10 >
// 1.2.9, 1.10 > 1.9, 1.2 == 1.2.0), then an optional pre-release suffix
// ("-beta", "-rc.1") ordered as semantic versioning orders it: before its
// release, numeric identifiers numerically and below alphanumeric ones. A
// "+build" suffix does not count. Negative, zero or positive like strcmp;
// empty when either does not parse (an empty text, a blank, a sign, "1..2").
std::optional<int> compareVersions(const QString& a, const QString& b);

// A version name the updater may record and pass on: 1 to 64 characters
// from [0-9A-Za-z.+-] that parse as a version (see compareVersions).
bool acceptableVersionName(const QString& name);
