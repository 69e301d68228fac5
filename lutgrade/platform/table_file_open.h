// Opening a table file by its 8-bit path.
#pragma once

#include <cstdio>

namespace lutgrade {

// Opens the file for reading in binary mode, so that the reader sees the same
// bytes everywhere (on Windows text mode would end the file at a 0x1A byte);
// the reader takes CR LF line ends itself. nullptr with errno set when it
// cannot be opened, EISDIR where the path names a directory.
// On Windows the path is taken as UTF-8 when it is valid UTF-8 and names a
// file that opens, else in the system's ANSI code page; elsewhere the bytes
// are the file name.
std::FILE* open_table_file(const char* path);

}  // namespace lutgrade
