// A colour table as a reader leaves it: curves, then a 3D table through its domain.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <vector>

namespace lutgrade {

// A curve through the points (x[i], y[i]), x ascending; inputs outside x
// take the end values. Between points it is linear, or with smooth set a
// cubic Hermite spline whose slope at a point is that of its two neighbours'
// chord (at an end, twice the end chord's slope less the next point's).
struct Curve {
    std::vector<float> x, y;
    bool smooth = false;
    float at(float v) const;

private:
    double slope(std::size_t i) const;
};
using Curves = std::array<Curve, 3>;  // red, green, blue

// A table as read, values scaled so that 1.0 is full scale: the curves apply
// first, stage after stage, then the 3D table through its input domain.
struct ParsedTable {
    std::vector<Curves> curves;
    int edge = 0;            // N: 3D entries per axis; 0 when the file holds curves only
    std::vector<float> rgb;  // N^3 entries of R, G, B, red fastest (.3dl files list blue fastest)
    float domainMin[3] = {0.0f, 0.0f, 0.0f};  // the inputs of the 3D table's first and last points
    float domainMax[3] = {1.0f, 1.0f, 1.0f};
    std::string order;   // the LUT_ORDER word, if any
    std::string lines;   // what the reader reports, in order: path, parse and summary lines
    std::string reason;  // why the file was refused; empty when it loaded
};

}  // namespace lutgrade
