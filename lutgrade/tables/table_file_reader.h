// Reading colour table files: .cube and .itx (3D tables, 1D tables and 1D
// shapers), .3dl (integer values of 10 to 16 bits), .csp (with per-channel
// pre-curves), .spi3d and .spi1d. Each format has its own small reader in
// this folder (table_readers.h); they share the line handling of table_lines.h.
#pragma once

#include <cstdio>

#include "tables/parsed_table.h"

namespace lutgrade {

enum class TableFormat { kNone, kCube, k3dl, kCsp, kSpi3d, kSpi1d, kItx };

// By the text after the last '.', in any case: cube, 3dl, csp, spi3d, spi1d, itx.
TableFormat table_format_of(const char* path);

// Reads an open file; false (with a reason) when it yields no table. Every
// data line must hold finite numbers and every size must be met; reading
// stops once 10 lines are neither data, keywords nor comments. Nothing is printed.
bool parse_table(std::FILE* file, TableFormat format, ParsedTable& table);

// Opens and parses the file, with the reader's path line first in
// table.lines; false (with a reason) when it yields no table. Nothing is printed.
bool read_table_file(const char* path, TableFormat format, ParsedTable& table);

}  // namespace lutgrade
