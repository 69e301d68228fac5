// Resampling of a parsed table to the edge the GPU table uses.
#pragma once

#include <cstdint>
#include <vector>

namespace lutgrade {

// Tetrahedral interpolation of rgb (edge^3 entries of 3 bytes, red fastest)
// at lutSize points per axis; returns lutSize^3 entries of 4 bytes (R, G, B, 0).
std::vector<std::uint8_t> resample_table(const std::vector<std::uint8_t>& rgb, int edge,
                                         int lutSize);

}  // namespace lutgrade
