#include "tables/table_source.h"

#include "tables/OrvalenQcom3DLUT.h"
#include "tables/table_file_reader.h"
#include "tables/table_resample.h"

namespace lutgrade {

TableFile table_from_file(const char* path, int lutSize) {
    TableFile file;
    const TableFormat format = table_format_of(path);
    if (format == TableFormat::kNone) {
        file.reason = "unsupported extension (use .cube or .3dl)";
        return file;
    }
    ParsedTable parsed;
    const bool ok = read_table_file(path, format, parsed);
    file.lines = parsed.lines;
    file.reason = parsed.reason;
    if (ok) file.table = resample_table(parsed.rgb, parsed.edge, lutSize);
    return file;
}

std::vector<std::uint8_t> table_from_adjustments(Chi3dlutRgbcmyInfo* entries, unsigned count) {
    Orvalen::OrvalenQcom3DLUT builder;
    return builder.build(entries, count);
}

}  // namespace lutgrade
