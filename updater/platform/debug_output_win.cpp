#include <windows.h>

#include <string>

#include "OVDebugOutput.h"

namespace OVLogging {
namespace platform {

void writeDebugOutput(const char* utf8Text) {
    const int length = MultiByteToWideChar(CP_UTF8, 0, utf8Text, -1, nullptr, 0);
    if (length <= 0) return;
    std::wstring wide(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8Text, -1, &wide[0], length);
    OutputDebugStringW(wide.c_str());
}

}  // namespace platform
}  // namespace OVLogging
