#pragma once

#include <cstdarg>

#if defined(__GNUC__) || defined(__clang__)
#define ORVALEN_PRINTF_FORMAT(fmtIndex, argIndex) \
    __attribute__((format(printf, fmtIndex, argIndex)))
#else
#define ORVALEN_PRINTF_FORMAT(fmtIndex, argIndex)
#endif

namespace Orvalen {

enum OrvalenLogLevel {
    LEVEL_UNKNOWN = 0,
    LEVEL_VERBOSE = 1,
    LEVEL_DEBUG = 2,
    LEVEL_INFO = 3,
    LEVEL_WARNING = 4,
    LEVEL_ERROR = 5,
    LEVEL_FATAL = 6,
};

// Display text of a level: colour escape then the level word. Levels outside
// 0..6 read as LEVEL_UNKNOWN.
const char* levelText(int level);

// Ends every log line: colour reset and newline.
extern const char* const kLogLineEnd;

// The file name part of a source path, as log lines show it.
const char* sourceFileName(const char* path);

// printf-style sink the host may install in place of the library's own.
class IOrvalenDebugLog {
public:
    virtual ~IOrvalenDebugLog() = default;
    virtual void printLog(int level, const char* format, ...) ORVALEN_PRINTF_FORMAT(3, 4) = 0;
};

// Console form for the plain data classes: always standard output, with the
// source location, never redirected by any sink.
void consoleLog(const char* tag, int level, const char* file, const char* function, int line,
                const char* format, ...) ORVALEN_PRINTF_FORMAT(6, 7);

}  // namespace Orvalen

// The call site's file and line are captured; the qualified function name is
// given, as __func__ would lose the class and namespace.
#define ORVALEN_CONSOLE_LOG(tag, level, function, ...) \
    ::Orvalen::consoleLog(tag, level, __FILE__, function, __LINE__, __VA_ARGS__)
