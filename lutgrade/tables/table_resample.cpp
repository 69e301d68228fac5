#include "tables/table_resample.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

namespace lutgrade {
namespace {

// Tetrahedral interpolation of a 3D table at position u (0..edge-1 per axis):
// from the cell's first corner along the axis of the largest fraction, then
// the middle one, to the opposite corner.
void tetrahedral(const ParsedTable& t, const double u[3], float out[3]) {
    const int n = t.edge;
    int lo[3];
    double f[3];
    for (int c = 0; c < 3; ++c) {
        lo[c] = std::min(static_cast<int>(u[c]), n - 2);
        f[c] = u[c] - lo[c];
    }
    const std::size_t stride[3] = {1, static_cast<std::size_t>(n), static_cast<std::size_t>(n) * n};
    int order[3] = {0, 1, 2};
    std::stable_sort(order, order + 3, [&](int a, int b) { return f[a] > f[b]; });
    std::size_t at = lo[0] + stride[1] * lo[1] + stride[2] * lo[2];
    const double weights[4] = {1.0 - f[order[0]], f[order[0]] - f[order[1]],
                               f[order[1]] - f[order[2]], f[order[2]]};
    double sum[3] = {0.0, 0.0, 0.0};
    for (int corner = 0; corner < 4; ++corner) {
        if (corner > 0) at += stride[order[corner - 1]];
        for (int c = 0; c < 3; ++c) sum[c] += weights[corner] * t.rgb[3 * at + c];
    }
    for (int c = 0; c < 3; ++c) out[c] = static_cast<float>(sum[c]);
}

}  // namespace

std::vector<float> resample_table(const ParsedTable& table, int lutSize) {
    const std::size_t m = static_cast<std::size_t>(lutSize);
    std::vector<float> out(m * m * m * 3);
    float* o = out.data();
    for (int z = 0; z < lutSize; ++z)
        for (int y = 0; y < lutSize; ++y)
            for (int x = 0; x < lutSize; ++x, o += 3) {
                const int point[3] = {x, y, z};
                for (int c = 0; c < 3; ++c)
                    o[c] = static_cast<float>(point[c]) / static_cast<float>(lutSize - 1);
                for (const Curves& stage : table.curves)
                    for (int c = 0; c < 3; ++c) o[c] = stage[c].at(o[c]);
                if (table.edge < 2) continue;
                double u[3];
                for (int c = 0; c < 3; ++c) {
                    const double d = (static_cast<double>(o[c]) - table.domainMin[c]) /
                                     (static_cast<double>(table.domainMax[c]) - table.domainMin[c]);
                    u[c] = std::clamp(d, 0.0, 1.0) * (table.edge - 1);  // NaN stays NaN
                    if (std::isnan(u[c])) u[c] = 0.0;
                }
                tetrahedral(table, u, o);
            }
    return out;
}

void blend_towards_identity(std::vector<float>& rgb, int edge, float strength) {
    float* o = rgb.data();
    for (int z = 0; z < edge; ++z)
        for (int y = 0; y < edge; ++y)
            for (int x = 0; x < edge; ++x, o += 3) {
                const int point[3] = {x, y, z};
                for (int c = 0; c < 3; ++c) {
                    const float identity = static_cast<float>(point[c]) / (edge - 1);
                    o[c] = identity + strength * (o[c] - identity);
                }
            }
}

}  // namespace lutgrade
