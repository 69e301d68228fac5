// Readers of 3D colour table files (.cube, .3dl): one line grammar, two
// number-to-byte rules, two entry orders.
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
    int edge = 0;  // N: entries per axis
    std::vector<std::uint8_t>
        rgb;             // N^3 entries of R, G, B, red fastest (.3dl files list blue fastest)
    std::string order;   // the LUT_ORDER word, if any
    std::string lines;   // what the reader reports, in order: path, parse and summary lines
    std::string reason;  // why the file was refused; empty when it loaded
};

// Reads an open file; false (with a reason) when it yields no table. A table
// loads only when every data line holds three finite numbers, LUT_3D_SIZE is
// a whole number from 2 to 256, there are at least N^3 entries (N from
// LUT_3D_SIZE, else the cube root of the entry count), there is no 1D table
// and the domain is 0..1. Reading stops once 10 lines are neither data,
// keywords nor comments. Nothing is printed.
bool parse_table(std::FILE* file, TableFormat format, ParsedTable& table);

// Opens and parses the file, with the reader's path line first in
// table.lines; false (with a reason) when it yields no table. Nothing is printed.
bool read_table_file(const char* path, TableFormat format, ParsedTable& table);

}  // namespace lutgrade
