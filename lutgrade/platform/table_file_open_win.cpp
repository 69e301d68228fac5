#include <windows.h>

#include <string>

#include "table_file_open.h"

namespace lutgrade {

// A Qt host passes either QFile::encodeName (the ANSI code page on Windows)
// or toUtf8. Both work: UTF-8 is tried first, since the ANSI code page cannot
// name every file, and a Chinese name in code page 936 is almost never valid
// UTF-8; ASCII reads the same either way.
std::FILE* open_table_file(const char* path) {
  const int length = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, path, -1, nullptr, 0);
  if (length > 0) {
    std::wstring wide(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, path, -1, &wide[0], length);
    if (std::FILE* file = _wfopen(wide.c_str(), L"r")) return file;
  }
  return std::fopen(path, "r");
}

}  // namespace lutgrade
