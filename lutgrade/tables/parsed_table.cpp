#include "tables/parsed_table.h"

#include <algorithm>

namespace lutgrade {

float Curve::at(float v) const {
    if (x.empty()) return v;
    if (!(v > x.front())) return y.front();  // NaN too
    if (v >= x.back()) return y.back();
    const std::size_t i =
        static_cast<std::size_t>(std::upper_bound(x.begin(), x.end(), v) - x.begin());
    const double dx = static_cast<double>(x[i]) - x[i - 1];
    const double t = (v - x[i - 1]) / dx;
    if (!smooth || x.size() < 3) return static_cast<float>(y[i - 1] + t * (y[i] - y[i - 1]));
    const double t2 = t * t, t3 = t2 * t;
    return static_cast<float>((2 * t3 - 3 * t2 + 1) * y[i - 1] +
                              (t3 - 2 * t2 + t) * dx * slope(i - 1) + (3 * t2 - 2 * t3) * y[i] +
                              (t3 - t2) * dx * slope(i));
}

double Curve::slope(std::size_t i) const {
    auto chord = [&](std::size_t a, std::size_t b) {
        return (static_cast<double>(y[b]) - y[a]) / (static_cast<double>(x[b]) - x[a]);
    };
    const std::size_t last = x.size() - 1;
    if (i == 0) return 2 * chord(0, 1) - chord(0, 2);
    if (i == last) return 2 * chord(last - 1, last) - chord(last - 2, last);
    return chord(i - 1, i + 1);
}

}  // namespace lutgrade
