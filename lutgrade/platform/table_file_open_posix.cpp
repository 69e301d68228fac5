#include <sys/stat.h>

#include <cerrno>

#include "table_file_open.h"

namespace lutgrade {

// A directory opens for reading here; only its reads fail.
std::FILE* open_table_file(const char* path) {
    std::FILE* file = std::fopen(path, "rb");
    struct stat info {};
    if (file && fstat(fileno(file), &info) == 0 && S_ISDIR(info.st_mode)) {
        std::fclose(file);
        errno = EISDIR;
        return nullptr;
    }
    return file;
}

}  // namespace lutgrade
