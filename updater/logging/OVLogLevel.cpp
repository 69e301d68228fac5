#include "logging/OVLogLevel.h"

namespace OVLogging {

namespace {

const char* const kNames[] = {"TRACE", "DEBUG", "INFO ", "WARN ", "ERROR", "FATAL"};
constexpr int kNamedLevels = sizeof kNames / sizeof kNames[0];

}  // namespace

QString levelName(Level level) {
    if (level < 0 || level >= kNamedLevels) return QString();
    return QString::fromLatin1(kNames[level]);
}

Level levelFromText(const QString& text, bool* ok) {
    for (int i = 0; i < kNamedLevels; ++i) {
        if (text.startsWith(QLatin1String(kNames[i]))) {
            if (ok) *ok = true;
            return static_cast<Level>(i);
        }
    }
    if (ok) *ok = false;
    return OffLevel;
}

}  // namespace OVLogging
