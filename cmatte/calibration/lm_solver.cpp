#include "calibration/lm_solver.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include "gpu_runtime/gpu_print.h"

namespace cmatte {

namespace {

constexpr int kMaxIterations = 50;
constexpr float kTiny = 2.220446e-16f;
constexpr float kZeroNorm = 1.1920929e-7f;

FloatMatrix as_column(const FloatMatrix& v) { return FloatMatrix(v.size(), 1, v.data()); }

// Sum of squares; a residual that is not finite gives infinity, so that it
// never counts as an improvement.
float sum_of_squares(const FloatMatrix& r) {
    float sum = 0.0f;
    for (int i = 0; i < r.size(); ++i) sum += r[i] * r[i];
    return std::isfinite(sum) ? sum : std::numeric_limits<float>::infinity();
}

// r, N = J^T J and g = J^T r at x. A Jacobian of the wrong shape counts as a
// refusal of the callback.
bool evaluate_model(LMSolver6_Callback& cb, const FloatMatrix& x, FloatMatrix& r, FloatMatrix& N,
                    FloatMatrix& g) {
    FloatMatrix J;
    if (!cb.compute(x, r, &J, true)) return false;
    if (J.rows() != r.size() || J.cols() != x.size()) return false;
    r = as_column(r);
    normal_matrix(J, N);
    return gemm(J, true, r, 1.0f, nullptr, 0.0f, g);
}

void clamp_to_bounds(FloatMatrix& x, const FloatMatrix& lower, const FloatMatrix& upper) {
    for (int i = 0; i < x.size(); ++i) {
        if (x[i] < lower[i]) x[i] = lower[i];
        if (x[i] > upper[i]) x[i] = upper[i];
    }
}

// After a step with lambda = 0 fails: the smallest damping that still makes a
// difference, from the largest diagonal element of N's (pseudo-)inverse.
float cutoff_from(const FloatMatrix& N) {
    FloatMatrix inv;
    inverse(N, inv);
    double largest = 0.0;
    for (int i = 0; i < inv.rows(); ++i)
        largest = std::max(largest, std::fabs(static_cast<double>(inv.at(i, i))));
    return static_cast<float>(1.0 / std::max(2.220446e-16, largest));
}

}  // namespace

int solveLM(FloatMatrix& xOut, const FloatMatrix& lower, const FloatMatrix& upper, float eps1,
            float eps2, LMSolver6_Callback& cb) {
    FloatMatrix x = as_column(xOut);
    if (lower.size() != x.size() || upper.size() != x.size()) return -1;

    FloatMatrix r, N, g;
    if (!evaluate_model(cb, x, r, N, g)) return -1;
    float F = sum_of_squares(r);
    std::vector<float> D(x.size());
    for (int i = 0; i < x.size(); ++i) D[i] = N.at(i, i);

    float lambda = 1.0f;
    float lambdaC = 0.75f;
    int k = 0;
    FloatMatrix M, delta, xt, rt, slope;
    for (;;) {
        copy(N, M);
        for (int i = 0; i < x.size(); ++i) M.at(i, i) += lambda * D[i];
        solve(M, g, delta);
        // A failed start or a non-finite model gives no usable step: stop where we are.
        if (!std::isfinite(F) || !delta.all_finite()) {
            ++k;
            break;
        }

        subtract(x, delta, xt);
        clamp_to_bounds(xt, lower, upper);
        if (!cb.compute(xt, rt, nullptr, false)) return -1;
        const float Ft = sum_of_squares(rt);

        gemm(N, false, delta, -1.0f, &g, 2.0f, slope);  // 2g - N delta
        float p = dot(delta, slope);
        if (std::fabs(p) <= kTiny) p = 1.0f;
        // A failed evaluation is a bad step whatever the sign of p.
        const float rho = std::isfinite(Ft) ? (F - Ft) / p : -1.0f;

        if (rho > 0.75f) {
            lambda = static_cast<float>(lambda * 0.5);
            if (lambda < lambdaC) lambda = 0.0f;
        } else if (rho < 0.25f) {
            float d = dot(delta, g);
            if (std::fabs(d) <= kTiny) d = 1.0f;
            float nu = std::clamp((Ft - F) / d + 2.0f, 2.0f, 10.0f);
            if (lambda == 0.0f) {
                lambdaC = cutoff_from(N);
                lambda = lambdaC;
                nu = static_cast<float>(nu * 0.5);
            }
            lambda *= nu;
        }

        if (Ft < F) {
            copy(xt, x);
            F = Ft;
            if (!evaluate_model(cb, x, r, N, g)) return -1;
        }

        ++k;
        const bool stepLarge = norm(delta, 4) >= eps1;
        const bool residualLarge = norm(r, 4) >= eps2;
        if (stepLarge && residualLarge) std::copy(x.data(), x.data() + x.size(), xOut.data());
        if (k >= kMaxIterations || !stepLarge || !residualLarge) break;
    }

    if (norm(x, 1) < kZeroNorm) gpurt::gpu_print("BUG: x's norm ZERO\n");
    return k == kMaxIterations ? -kMaxIterations : k;
}

}  // namespace cmatte
