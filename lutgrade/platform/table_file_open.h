// Opening a table file by its 8-bit path.
#pragma once

#include <cstdio>

namespace lutgrade {

// Opens the file for reading in text mode; nullptr with errno set when it
// cannot be opened, EISDIR where the path names a directory.
// On Windows the path is taken as UTF-8 when it is valid UTF-8 and names a
// file that opens, else in the system's ANSI code page; elsewhere the bytes
// are the file name.
std::FILE* open_table_file(const char* path);

}  // namespace lutgrade
