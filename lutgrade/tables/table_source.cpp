#include "tables/table_source.h"

#include "tables/OrvalenQcom3DLUT.h"
#include "tables/table_file_reader.h"
#include "tables/table_resample.h"

namespace lutgrade {

TableFile table_from_file(const char* path, int lutSize) {
    TableFile file;
    const TableFormat format = table_format_of(path);
    if (format == TableFormat::kNone) {
        file.reason = "unsupported extension (use .cube, .3dl, .csp, .spi3d, .spi1d or .itx)";
        return file;
    }
    ParsedTable parsed;
    const bool ok = read_table_file(path, format, parsed);
    file.lines = parsed.lines;
    file.reason = parsed.reason;
    if (ok) file.table = resample_table(parsed, lutSize);
    return file;
}

std::vector<float> table_from_adjustments(Chi3dlutRgbcmyInfo* entries, unsigned count) {
    Orvalen::OrvalenQcom3DLUT builder;
    const std::vector<std::uint8_t>& bytes = builder.build(entries, count);
    std::vector<float> table;
    table.reserve(bytes.size() / 4 * 3);
    for (std::size_t e = 0; e < bytes.size(); e += 4)
        for (int c = 0; c < 3; ++c) table.push_back(bytes[e + c] / 255.0f);
    return table;
}

}  // namespace lutgrade
