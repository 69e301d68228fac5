// Diagnostics of the GPU libraries: printf-style lines on standard output,
// without level or prefix.
#pragma once

#if defined(__MINGW32__)
// mingw-w64's C++ runtime prints through its own C99 printf (%zu and the like).
#include <cstdio>
#define GPU_PRINTF_FORMAT(a, b) __attribute__((format(__MINGW_PRINTF_FORMAT, a, b)))
#elif defined(__GNUC__)
#define GPU_PRINTF_FORMAT(a, b) __attribute__((format(printf, a, b)))
#else
#define GPU_PRINTF_FORMAT(a, b)
#endif

namespace gpurt {

void gpu_print(const char* format, ...) GPU_PRINTF_FORMAT(1, 2);

}  // namespace gpurt
