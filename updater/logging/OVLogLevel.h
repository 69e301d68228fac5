#pragma once

#include <QString>

namespace OVLogging {

// Severity of a log line, in increasing order. OffLevel is never written.
enum Level {
    TraceLevel = 0,
    DebugLevel = 1,
    InfoLevel = 2,
    WarnLevel = 3,
    ErrorLevel = 4,
    FatalLevel = 5,
    OffLevel = 6,
};

// The five-character name a line starts with ("INFO " and "WARN " end in a
// blank); empty for OffLevel and anything out of range.
QString levelName(Level level);

// The level whose name the text starts with (case-sensitive); OffLevel, with
// *ok cleared, when none does.
Level levelFromText(const QString& text, bool* ok = nullptr);

}  // namespace OVLogging
