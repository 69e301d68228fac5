// The tables Lut3D loads, as bytes: read from a file or generated from
// adjustments. Shared with tools that save the table they would grade with.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "lutgrade/Lut3D.h"

namespace lutgrade {

// Tables are lutSize^3 entries of R, G, B (1.0 full scale), red fastest.
struct TableFile {
    std::vector<float> table;  // empty when the file yields no table
    std::string reason;        // why not: one short phrase
    std::string lines;         // the reader's own lines, for the caller to print
};

// A table file (see table_file_reader.h) resampled to lutSize (2..256)
// points per axis. Prints nothing.
TableFile table_from_file(const char* path, int lutSize);

// The 17-point table generated from the adjustments (normalised in place);
// entries may be null when count is 0.
std::vector<float> table_from_adjustments(Chi3dlutRgbcmyInfo* entries, unsigned count);

}  // namespace lutgrade
