#include "tables/table_resample.h"

#include <algorithm>
#include <cmath>

namespace lutgrade {
namespace {

struct Axis {
    int lo, hi;
    float f;
};

// Single-precision steps can land a hair beyond the last point (63.000004 for
// edge 64); the indices stay inside the table.
Axis axis_at(int i, float step, int edge) {
    const float v = static_cast<float>(i) * step;
    const float lo = std::floor(v);
    return {std::min(static_cast<int>(lo), edge - 1),
            std::min(static_cast<int>(std::ceil(v)), edge - 1), v - lo};
}

}  // namespace

std::vector<std::uint8_t> resample_table(const std::vector<std::uint8_t>& rgb, int edge,
                                         int lutSize) {
    const std::size_t m = static_cast<std::size_t>(lutSize);
    std::vector<std::uint8_t> out(m * m * m * 4, 0);
    const float step = 1.0f / static_cast<float>(lutSize - 1) * static_cast<float>(edge - 1);
    std::size_t o = 0;
    for (int z = 0; z < lutSize; ++z) {
        const Axis az = axis_at(z, step, edge);
        for (int y = 0; y < lutSize; ++y) {
            const Axis ay = axis_at(y, step, edge);
            for (int x = 0; x < lutSize; ++x, o += 4) {
                const Axis ax = axis_at(x, step, edge);
                const float fx = ax.f, fy = ay.f, fz = az.f;
                // Entry at the cell corner (a, b, c): 0 = low, 1 = high index per axis.
                auto c = [&](int a, int b, int cc, int ch) -> float {
                    const std::size_t i = (static_cast<std::size_t>(cc ? az.hi : az.lo) * edge +
                                           (b ? ay.hi : ay.lo)) *
                                              edge +
                                          (a ? ax.hi : ax.lo);
                    return rgb[i * 3 + ch];
                };
                for (int ch = 0; ch < 3; ++ch) {
                    const float c000 = c(0, 0, 0, ch), c111 = c(1, 1, 1, ch);
                    float v;
                    if (fx >= fy && fy >= fz)
                        v = c000 + fx * (c(1, 0, 0, ch) - c000) +
                            fy * (c(1, 1, 0, ch) - c(1, 0, 0, ch)) + fz * (c111 - c(1, 1, 0, ch));
                    else if (fx >= fz && fz >= fy)
                        v = c000 + fx * (c(1, 0, 0, ch) - c000) +
                            fz * (c(1, 0, 1, ch) - c(1, 0, 0, ch)) + fy * (c111 - c(1, 0, 1, ch));
                    else if (fz >= fx && fx >= fy)
                        v = c000 + fz * (c(0, 0, 1, ch) - c000) +
                            fx * (c(1, 0, 1, ch) - c(0, 0, 1, ch)) + fy * (c111 - c(1, 0, 1, ch));
                    else if (fy >= fx && fx >= fz)
                        v = c000 + fy * (c(0, 1, 0, ch) - c000) +
                            fx * (c(1, 1, 0, ch) - c(0, 1, 0, ch)) + fz * (c111 - c(1, 1, 0, ch));
                    else if (fy >= fz && fz >= fx)
                        v = c000 + fy * (c(0, 1, 0, ch) - c000) +
                            fz * (c(0, 1, 1, ch) - c(0, 1, 0, ch)) + fx * (c111 - c(0, 1, 1, ch));
                    else
                        v = c000 + fz * (c(0, 0, 1, ch) - c000) +
                            fy * (c(0, 1, 1, ch) - c(0, 0, 1, ch)) + fx * (c111 - c(0, 1, 1, ch));
                    const float r = v + 0.5f;
                    out[o + ch] = r <= 0.0f ? 0 : r >= 255.0f ? 255 : static_cast<std::uint8_t>(r);
                }
            }
        }
    }
    return out;
}

}  // namespace lutgrade
