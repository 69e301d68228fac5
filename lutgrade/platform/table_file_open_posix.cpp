#include "table_file_open.h"

namespace lutgrade {

std::FILE* open_table_file(const char* path) { return std::fopen(path, "r"); }

}  // namespace lutgrade
