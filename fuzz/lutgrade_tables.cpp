// Feeds arbitrary text to the table readers and resamples what they accept.
// The first byte picks the reader and the output edge.
#include <stdio.h>

#include <cstddef>
#include <cstdint>

#include "tables/table_file_reader.h"
#include "tables/table_resample.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    using lutgrade::TableFormat;
    const TableFormat formats[] = {TableFormat::kCube,  TableFormat::k3dl,   TableFormat::kCsp,
                                   TableFormat::kSpi3d, TableFormat::kSpi1d, TableFormat::kItx};
    const TableFormat format = formats[data[0] % 6];
    const int lutSize = 2 + (data[0] / 6) % 16;
    FILE* file = fmemopen(const_cast<std::uint8_t*>(data + 1), size - 1, "r");
    if (!file) return 0;
    lutgrade::ParsedTable table;
    if (lutgrade::parse_table(file, format, table)) lutgrade::resample_table(table, lutSize);
    fclose(file);
    return 0;
}
