// Resampling of a parsed table to the edge the GPU table uses, in floating
// point: the values are rounded once, when the graded frame is written.
#pragma once

#include <vector>

#include "tables/parsed_table.h"

namespace lutgrade {

// The table's curves and 3D table (tetrahedral interpolation through its
// domain) sampled at lutSize points per axis: lutSize^3 entries of R, G, B
// (1.0 full scale, not clamped), red fastest.
std::vector<float> resample_table(const ParsedTable& table, int lutSize);

// Blends a table of edge^3 RGB entries towards the identity: I + s (T - I).
void blend_towards_identity(std::vector<float>& rgb, int edge, float strength);

}  // namespace lutgrade
