#include "common/OrvalenDebugLog.h"

#include <cstdio>

namespace Orvalen {

namespace {

const char* const kLevelTexts[] = {
    "\x1b[31mLEVEL_UNKNOWN", "\x1b[35mVerbose", "\x1b[32mDebug", "\x1b[34mInfo",
    "\x1b[33mWarning",       "\x1b[31mError",   "\x1b[31mFATAL",
};

}  // namespace

const char* const kLogLineEnd = "\x1b[0m\n";

const char* sourceFileName(const char* path) {
    const char* name = path;
    for (const char* p = path; *p; ++p) {
        if (*p == '/' || *p == '\\') name = p + 1;
    }
    return name;
}

const char* levelText(int level) {
    if (level < LEVEL_UNKNOWN || level > LEVEL_FATAL) level = LEVEL_UNKNOWN;
    return kLevelTexts[level];
}

void consoleLog(const char* tag, int level, const char* file, const char* function, int line,
                const char* format, ...) {
    std::printf("\n [%s][%s]%s::%s:[%d]", tag, levelText(level), sourceFileName(file), function,
                line);
    va_list args;
    va_start(args, format);
    std::vprintf(format, args);
    va_end(args);
    std::fputs(kLogLineEnd, stdout);
}

}  // namespace Orvalen
