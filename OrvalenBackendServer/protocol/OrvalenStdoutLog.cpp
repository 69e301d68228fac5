#include "OrvalenBackendServer/OrvalenStdoutLog.h"

#include <cstdio>

namespace Orvalen {

void vprintStdoutLog(const char* tag, int level, const char* format, va_list args) {
    char message[kMaxLogMessage + 1] = {0};
    std::vsnprintf(message, sizeof message, format, args);
    std::printf("\n [%s][%s]", tag, levelText(level));
    std::printf("%s", message);
    std::fputs(kLogLineEnd, stdout);
}

void printStdoutLog(const char* tag, int level, const char* format, ...) {
    va_list args;
    va_start(args, format);
    vprintStdoutLog(tag, level, format, args);
    va_end(args);
}

}  // namespace Orvalen
