// Readers of 3D colour table files (.cube, .3dl): one line grammar, two
// number-to-byte rules.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace lutgrade {

enum class TableFormat { kNone, kCube, k3dl };

// By the text after the last '.', compared exactly: cube/CUBE, 3dl/3DL.
TableFormat table_format_of(const char* path);

struct ParsedTable {
  int edge = 0;                   // N: entries per axis
  std::vector<std::uint8_t> rgb;  // N^3 entries of R, G, B in file order, red fastest
  std::string order;              // the LUT_ORDER word, if any
};

// Reads an open file; false when it yields no table.
bool parse_table(std::FILE* file, TableFormat format, ParsedTable& table);

// Prints the reader's path line, opens and parses the file; false when it
// cannot be opened or yields no table.
bool read_table_file(const char* path, TableFormat format, ParsedTable& table);

}  // namespace lutgrade
