// Result rows on standard output, apart from what the libraries print there:
// after take_stdout_for_rows() row() writes to the original standard output
// and everything else written to it goes to standard error.
#pragma once

#include <unistd.h>

#include <cstdarg>
#include <cstdio>

namespace bench {

inline std::FILE* rows = stdout;

__attribute__((format(printf, 1, 2))) inline void row(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::vfprintf(rows, format, args);
    va_end(args);
    std::fflush(rows);
}

inline bool take_stdout_for_rows() {
    rows = fdopen(dup(STDOUT_FILENO), "w");
    return rows && dup2(STDERR_FILENO, STDOUT_FILENO) >= 0;
}

}  // namespace bench
