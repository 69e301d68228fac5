#include "gpu_runtime/gpu_print.h"

#include <cstdarg>
#include <cstdio>

namespace gpurt {

void gpu_print(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::vfprintf(stdout, format, args);
    va_end(args);
    // Hosts often redirect standard output to a log; keep lines in order with
    // anything they write through other streams.
    std::fflush(stdout);
}

}  // namespace gpurt
