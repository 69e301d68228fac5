// Readers of colour table files: .cube and .itx (3D tables, 1D tables and
// 1D shapers), .3dl (integer values of 10 to 16 bits), .csp (with per-channel
// pre-curves), .spi3d and .spi1d. Each format has its own small reader in
// this folder; they share the line handling of table_lines.h.
#pragma once

#include <array>
#include <cstdio>
#include <string>
#include <vector>

namespace lutgrade {

enum class TableFormat { kNone, kCube, k3dl, kCsp, kSpi3d, kSpi1d, kItx };

// By the text after the last '.', in any case: cube, 3dl, csp, spi3d, spi1d, itx.
TableFormat table_format_of(const char* path);

// A curve through the points (x[i], y[i]), x ascending; inputs outside x
// take the end values. Between points it is linear, or with smooth set a
// cubic Hermite spline whose slope at a point is that of its two neighbours'
// chord (at an end, twice the end chord's slope less the next point's).
struct Curve {
    std::vector<float> x, y;
    bool smooth = false;
    float at(float v) const;

private:
    double slope(std::size_t i) const;
};
using Curves = std::array<Curve, 3>;  // red, green, blue

// A table as read, values scaled so that 1.0 is full scale: the curves apply
// first, stage after stage, then the 3D table through its input domain.
struct ParsedTable {
    std::vector<Curves> curves;
    int edge = 0;            // N: 3D entries per axis; 0 when the file holds curves only
    std::vector<float> rgb;  // N^3 entries of R, G, B, red fastest (.3dl files list blue fastest)
    float domainMin[3] = {0.0f, 0.0f, 0.0f};  // the inputs of the 3D table's first and last points
    float domainMax[3] = {1.0f, 1.0f, 1.0f};
    std::string order;   // the LUT_ORDER word, if any
    std::string lines;   // what the reader reports, in order: path, parse and summary lines
    std::string reason;  // why the file was refused; empty when it loaded
};

// Reads an open file; false (with a reason) when it yields no table. Every
// data line must hold finite numbers and every size must be met; reading
// stops once 10 lines are neither data, keywords nor comments. Nothing is printed.
bool parse_table(std::FILE* file, TableFormat format, ParsedTable& table);

// Opens and parses the file, with the reader's path line first in
// table.lines; false (with a reason) when it yields no table. Nothing is printed.
bool read_table_file(const char* path, TableFormat format, ParsedTable& table);

}  // namespace lutgrade
