#pragma once

#include <cstdarg>

#include "common/OrvalenDebugLog.h"

namespace Orvalen {

// Largest message the standard-output sink prints; longer ones are cut.
constexpr int kMaxLogMessage = 4095;

// The default sinks' form: an empty line, then " [tag][level]message" in the
// level's colour. Formats into a fixed stack buffer; nothing on the heap.
void vprintStdoutLog(const char* tag, int level, const char* format, va_list args);
void printStdoutLog(const char* tag, int level, const char* format, ...)
    ORVALEN_PRINTF_FORMAT(3, 4);

}  // namespace Orvalen
