// Feeds arbitrary text to both table readers and resamples what they accept.
// The first byte picks the reader and the output edge.
#include <stdio.h>

#include <cstddef>
#include <cstdint>

#include "tables/table_file_reader.h"
#include "tables/table_resample.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    const lutgrade::TableFormat format =
        data[0] & 1 ? lutgrade::TableFormat::k3dl : lutgrade::TableFormat::kCube;
    const int lutSize = 2 + (data[0] >> 1) % 16;
    FILE* file = fmemopen(const_cast<std::uint8_t*>(data + 1), size - 1, "r");
    if (!file) return 0;
    lutgrade::ParsedTable table;
    if (lutgrade::parse_table(file, format, table))
        lutgrade::resample_table(table.rgb, table.edge, lutSize);
    fclose(file);
    return 0;
}
