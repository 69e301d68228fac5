// Diagnostics of the GPU libraries: printf-style lines on standard output,
// without level or prefix.
#pragma once

#if defined(__GNUC__)
#define GPU_PRINTF_FORMAT(a, b) __attribute__((format(printf, a, b)))
#else
#define GPU_PRINTF_FORMAT(a, b)
#endif

namespace gpurt {

void gpu_print(const char* format, ...) GPU_PRINTF_FORMAT(1, 2);

}  // namespace gpurt
