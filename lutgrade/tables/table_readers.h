// One reader per table format, each a TableLines.
#pragma once

#include <memory>

#include "tables/table_lines.h"

namespace lutgrade {

// The summary line of every reader but the .3dl one.
extern const char kCubeSummary[];

std::unique_ptr<TableLines> make_cube_reader(ParsedTable& table);  // .cube and .itx
std::unique_ptr<TableLines> make_3dl_reader(ParsedTable& table);
std::unique_ptr<TableLines> make_csp_reader(ParsedTable& table);
std::unique_ptr<TableLines> make_spi3d_reader(ParsedTable& table);
std::unique_ptr<TableLines> make_spi1d_reader(ParsedTable& table);

}  // namespace lutgrade
