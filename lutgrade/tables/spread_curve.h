// Fall-off weights that spread an adjustment over neighbouring cells of the
// HSV grids: a fitted curve per spread count.
#pragma once

namespace lutgrade {

constexpr int kCurveLength = 60;

// Fills weights[0 .. n + 2] with W_n(i) (at most kCurveLength of them) and
// zeroes the rest; n is the spread count, 0 or more.
void spread_curve(int n, float (&weights)[kCurveLength]);

}  // namespace lutgrade
