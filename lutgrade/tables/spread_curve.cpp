#include "tables/spread_curve.h"

#include <algorithm>
#include <cmath>

namespace lutgrade {
namespace {

// W(i) = D - C exp(K i) - B i, fitted per spread count 2..14 (double precision).
struct Fit {
    double d, c, k, b;
};
const Fit kFits[] = {
    {1.13440331, 0.01250351, 0.6890572, 0.10939835},
    {1.11441017, 0.00821222, 0.62888305, 0.09529326},
    {1.09430927, 0.00965472, 0.52266122, 0.07729987},
    {1.08161432, 0.00594676, 0.50696476, 0.07057556},
    {1.07009138, 0.00548139, 0.4655795, 0.06097165},
    {1.06451755, 0.00578089, 0.40928492, 0.05497915},
    {1.05761683, 0.00505529, 0.38857564, 0.04938517},
    {1.0558664, 0.0103498, 0.30352933, 0.04179924},
    {1.05145301, 0.00359432, 0.34930539, 0.04331885},
    {1.04756427, 0.00264081, 0.3478227, 0.04057577},
    {1.0442447, 0.00323969, 0.31190851, 0.0371806},
    {1.04595932, 0.00233718, 0.30848964, 0.03608396},
    {1.04603104, 0.00218577, 0.31270903, 0.03632606},
};
constexpr int kFirstFitted = 2;
constexpr int kLastFitted = 14;

float weight(int n, int i) {
    const float x = static_cast<float>(i);
    if (n == 0) return 1.2926f - 0.2926f * x;
    if (n == 1) return 1.61556364f - 0.3648487f * std::exp(0.26152779f * x);
    if (n <= kLastFitted) {
        const Fit& f = kFits[n - kFirstFitted];
        return static_cast<float>(f.d - f.c * std::exp(f.k * i) - f.b * i);
    }
    // Larger counts: the fit's constants as functions of ln(n - 2).
    const float l = std::log(static_cast<float>(n - 2));
    const float k = 0.69410104f - 0.15962533f * l;
    const float d = 1.13513372f - 0.03792255f * l;
    const float c = 0.01351789f - 0.00418684f * l;
    const float b = 0.11011797f - 0.03052266f * l;
    return d - c * std::exp(k * x) - b * x;
}

}  // namespace

void spread_curve(int n, float (&weights)[kCurveLength]) {
    n = std::max(n, 0);
    const int count = n > kCurveLength - 3 ? kCurveLength : n + 3;
    for (int i = 0; i < kCurveLength; ++i) weights[i] = i < count ? weight(n, i) : 0.0f;
}

}  // namespace lutgrade
