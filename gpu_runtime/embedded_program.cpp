#include "gpu_runtime/embedded_program.h"

#include <cstring>

namespace gpurt {

std::string descramble_program(const unsigned char* bytes, std::size_t length, const char* key) {
    const std::size_t period = std::strlen(key) + 1;
    std::string text(length, '\0');
    for (std::size_t p = 0; p < length; ++p)
        text[p] = static_cast<char>(bytes[p] ^ static_cast<unsigned char>(key[p % period]));
    return text;
}

}  // namespace gpurt
