#include <windows.h>

#include <cerrno>
#include <string>

#include "table_file_open.h"

namespace lutgrade {
namespace {

bool is_directory(DWORD attributes) {
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

}  // namespace

// A Qt host passes either QFile::encodeName (the ANSI code page on Windows)
// or toUtf8. Both work: UTF-8 is tried first, since the ANSI code page cannot
// name every file, and a Chinese name in code page 936 is almost never valid
// UTF-8; ASCII reads the same either way. A directory fails to open here with
// EACCES; it is told apart so that the reason names it.
std::FILE* open_table_file(const char* path) {
    const int length = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, path, -1, nullptr, 0);
    if (length > 0) {
        std::wstring wide(static_cast<size_t>(length), L'\0');
        MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, path, -1, &wide[0], length);
        if (std::FILE* file = _wfopen(wide.c_str(), L"rb")) return file;
        if (is_directory(GetFileAttributesW(wide.c_str()))) {
            errno = EISDIR;
            return nullptr;
        }
    }
    std::FILE* file = std::fopen(path, "rb");
    if (!file && is_directory(GetFileAttributesA(path))) errno = EISDIR;
    return file;
}

}  // namespace lutgrade
