// The float-matrix toolkit and the bounded Levenberg-Marquardt solver.
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "calibration/float_matrix.h"
#include "calibration/lm_solver.h"

using cmatte::FloatMatrix;

namespace {

constexpr float kEps = 1.1920929e-7f;
const float kNaN = std::numeric_limits<float>::quiet_NaN();

FloatMatrix column(std::vector<float> v) {
    return FloatMatrix(static_cast<int>(v.size()), 1, v.data());
}

FloatMatrix square(int n, std::vector<float> v) { return FloatMatrix(n, n, v.data()); }

// A problem given by residual and Jacobian functions of the parameter vector;
// records every call. refuseAt makes the call with that index return false;
// nanResidualAt and nanJacobianAt make that call's residual or Jacobian NaN.
struct Problem : cmatte::LMSolver6_Callback {
    struct Call {
        std::vector<float> x;
        bool wantJacobian;
    };
    std::function<std::vector<float>(const std::vector<float>&)> residual;
    std::function<std::vector<float>(const std::vector<float>&)>
        jacobian;  // row-major, residuals x params
    int refuseAt = -1;
    int nanResidualAt = -1;
    int nanJacobianAt = -1;
    std::vector<Call> calls;

    bool compute(const FloatMatrix& x, FloatMatrix& r, FloatMatrix* J, bool wantJacobian) override {
        std::vector<float> xv(x.data(), x.data() + x.size());
        calls.push_back({xv, wantJacobian});
        const int index = static_cast<int>(calls.size()) - 1;
        if (index == refuseAt) return false;
        std::vector<float> rv = residual(xv);
        if (index == nanResidualAt) rv.assign(rv.size(), kNaN);
        r.resize(static_cast<int>(rv.size()), 1, rv.data());
        if (wantJacobian) {
            std::vector<float> jv = jacobian(xv);
            if (index == nanJacobianAt) jv.assign(jv.size(), kNaN);
            J->resize(static_cast<int>(rv.size()), x.size(), jv.data());
        }
        return true;
    }

    // The points of the trial evaluations, in order.
    std::vector<float> trials() const {
        std::vector<float> t;
        for (const Call& c : calls) {
            if (!c.wantJacobian) t.push_back(c.x[0]);
        }
        return t;
    }
};

// r = x^q - c with its exact derivative.
Problem power(float q, float c) {
    Problem p;
    p.residual = [q, c](const std::vector<float>& x) {
        return std::vector<float>{std::pow(x[0], q) - c};
    };
    p.jacobian = [q](const std::vector<float>& x) {
        return std::vector<float>{q * std::pow(x[0], q - 1.0f)};
    };
    return p;
}

// Two residuals x - 1 and x - 3: linear, minimum 2 with a non-zero residual.
Problem two_targets() {
    Problem p;
    p.residual = [](const std::vector<float>& x) {
        return std::vector<float>{x[0] - 1.0f, x[0] - 3.0f};
    };
    p.jacobian = [](const std::vector<float>&) { return std::vector<float>{1.0f, 1.0f}; };
    return p;
}

int solve1(Problem& p, float& x, float lower, float upper) {
    FloatMatrix xm(1, 1, &x);
    const int k =
        cmatte::solveLM(xm, FloatMatrix(1, 1, &lower), FloatMatrix(1, 1, &upper), kEps, kEps, p);
    x = xm[0];
    return k;
}

}  // namespace

TEST(FloatMatrix, SolveAndInverseOfARegularSystem) {
    const FloatMatrix a = square(3, {4, -2, 1, -2, 4, -2, 1, -2, 4});
    const FloatMatrix b = column({11, -16, 17});  // a * (1, -2, 3)
    FloatMatrix x;
    ASSERT_TRUE(cmatte::solve(a, b, x));
    ASSERT_EQ(x.rows(), 3);
    EXPECT_NEAR(x[0], 1.0f, 1e-5f);
    EXPECT_NEAR(x[1], -2.0f, 1e-5f);
    EXPECT_NEAR(x[2], 3.0f, 1e-5f);

    FloatMatrix inv, product;
    ASSERT_TRUE(cmatte::inverse(a, inv));
    ASSERT_TRUE(cmatte::gemm(a, false, inv, 1.0f, nullptr, 0.0f, product));
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 3; ++c) EXPECT_NEAR(product.at(r, c), r == c ? 1.0f : 0.0f, 1e-5f);
    }
    EXPECT_FALSE(cmatte::solve(a, column({1, 2}), x));
}

TEST(FloatMatrix, SingularSystemsGiveTheMinimumNormLeastSquaresAnswer) {
    // Rank one: a * (x, y) = (x + 2y) * (1, 2). The least-squares answer of
    // b = (5, 0) has x + 2y = 1, and the minimum-norm one is (0.2, 0.4).
    FloatMatrix x;
    ASSERT_TRUE(cmatte::solve(square(2, {1, 2, 2, 4}), column({5, 0}), x));
    EXPECT_NEAR(x[0], 0.2f, 1e-6f);
    EXPECT_NEAR(x[1], 0.4f, 1e-6f);

    // All zero: the answer is zero, not a division by zero.
    ASSERT_TRUE(cmatte::solve(square(2, {0, 0, 0, 0}), column({1, 1}), x));
    EXPECT_EQ(x[0], 0.0f);
    EXPECT_EQ(x[1], 0.0f);

    // A rank-one normal matrix j j^T formed in float is singular only up to
    // rounding; the answer must still be the pseudo-inverse's j (j.b) / |j|^4,
    // not the rounding noise blown up.
    const float jv[] = {0.3f, -1.7f, 2.9f};
    FloatMatrix n;
    cmatte::normal_matrix(FloatMatrix(1, 3, jv), n);
    ASSERT_TRUE(cmatte::solve(n, column({1, 1, 1}), x));
    const float j2 = 0.09f + 2.89f + 8.41f;
    for (int i = 0; i < 3; ++i) EXPECT_NEAR(x[i], jv[i] * 1.5f / (j2 * j2), 1e-4f);

    FloatMatrix inv;
    ASSERT_TRUE(cmatte::inverse(square(2, {2, 0, 0, 0}), inv));
    EXPECT_FLOAT_EQ(inv.at(0, 0), 0.5f);
    EXPECT_EQ(inv.at(1, 1), 0.0f);
}

TEST(FloatMatrix, ProductsNormsAndElementOperations) {
    const float av[] = {1, 2, 3, 4, 5, 6};
    const FloatMatrix a(2, 3, av);  // 2 x 3
    EXPECT_EQ(a.step(), 12);
    EXPECT_EQ(a.layout(), 1);

    // a^T * b + 2 c with a 2 x 3, b 2 x 1, c 3 x 1.
    FloatMatrix out;
    const FloatMatrix b = column({1, -1});
    const FloatMatrix c = column({1, 1, 1});
    ASSERT_TRUE(cmatte::gemm(a, true, b, 1.0f, &c, 2.0f, out));
    ASSERT_EQ(out.rows(), 3);
    EXPECT_EQ(out[0], -1.0f);
    EXPECT_EQ(out[1], -1.0f);
    EXPECT_EQ(out[2], -1.0f);
    EXPECT_FALSE(cmatte::gemm(a, false, b, 1.0f, nullptr, 0.0f, out));

    cmatte::normal_matrix(a, out);
    ASSERT_EQ(out.rows(), 3);
    EXPECT_EQ(out.at(0, 0), 17.0f);
    EXPECT_EQ(out.at(1, 2), 2 * 3 + 5 * 6);

    FloatMatrix t;
    cmatte::transpose(a, t);
    EXPECT_EQ(t.rows(), 3);
    EXPECT_EQ(t.at(2, 1), 6.0f);
    EXPECT_EQ(cmatte::dot(a, a), 91.0f);
    ASSERT_TRUE(cmatte::subtract(a, a, out));
    EXPECT_EQ(cmatte::norm(out, 1), 0.0f);
    EXPECT_FALSE(cmatte::subtract(a, t, out));

    const FloatMatrix m = square(2, {1, -7, -3, 2});
    EXPECT_EQ(cmatte::norm(m, 1), 13.0f);
    EXPECT_EQ(cmatte::norm(m, 4), 8.0f);
    testing::internal::CaptureStdout();
    EXPECT_EQ(cmatte::norm(m, 2), FLT_MAX);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "__BUG__ mode NOT support\n");

    FloatMatrix grown(1, 2, av);
    grown.resize(2, 2);
    EXPECT_EQ(grown[1], 2.0f);
    EXPECT_EQ(grown[3], 0.0f);
}

TEST(SolveLM, ConvergesInsideTheBoundsAndStopsOnABound) {
    Problem root2 = power(2.0f, 2.0f);
    float x = 4.0f;
    EXPECT_GT(solve1(root2, x, 0.0f, 5.0f), 0);
    EXPECT_NEAR(x, std::sqrt(2.0f), 1e-5f);

    Problem bounded = power(2.0f, 2.0f);
    x = 0.5f;
    EXPECT_GT(solve1(bounded, x, 0.0f, 1.0f), 0);
    EXPECT_EQ(x, 1.0f);
    for (float t : bounded.trials()) EXPECT_LE(t, 1.0f);
}

TEST(SolveLM, FitsAnExponentialDecay) {
    const float a = 2.0f, b = 0.5f;
    Problem fit;
    fit.residual = [a, b](const std::vector<float>& p) {
        std::vector<float> r;
        for (int t = 0; t < 10; ++t) r.push_back(p[0] * std::exp(-p[1] * t) - a * std::exp(-b * t));
        return r;
    };
    fit.jacobian = [](const std::vector<float>& p) {
        std::vector<float> j;
        for (int t = 0; t < 10; ++t) {
            j.push_back(std::exp(-p[1] * t));
            j.push_back(-p[0] * t * std::exp(-p[1] * t));
        }
        return j;
    };
    FloatMatrix x = column({1.0f, 1.0f});
    const int k = cmatte::solveLM(x, column({0, 0}), column({10, 10}), kEps, kEps, fit);
    EXPECT_NE(k, -1);
    EXPECT_NEAR(x[0], a, 1e-3f);
    EXPECT_NEAR(x[1], b, 1e-3f);
}

TEST(SolveLM, AGoodFirstStepSwitchesToGaussNewton) {
    // Linear residuals: the first step (lambda 1, half the Gauss-Newton step)
    // predicts its reduction exactly, so lambda drops to 0 and the second step
    // lands on the minimum 2. With lambda 0.5 it would stop at 10/3.
    Problem p = two_targets();
    float x = 10.0f;
    EXPECT_EQ(solve1(p, x, -100.0f, 100.0f), 3);
    const std::vector<float> t = p.trials();
    ASSERT_GE(t.size(), 2u);
    EXPECT_EQ(t[0], 6.0f);
    EXPECT_EQ(t[1], 2.0f);
    EXPECT_EQ(x, 2.0f);
}

TEST(SolveLM, StopsAtTheIterationCap) {
    // r = x^10 shrinks x by a tenth per Gauss-Newton step: after 50 steps from
    // 50 both the step and the residual are still above the tolerances.
    Problem slow = power(10.0f, 0.0f);
    float x = 50.0f;
    EXPECT_EQ(solve1(slow, x, 0.0f, 100.0f), -50);
    EXPECT_EQ(slow.trials().size(), 50u);
    EXPECT_GT(x, 0.2f);
    EXPECT_LT(x, 1.0f);
}

TEST(SolveLM, ARefusingCallbackEndsTheSolve) {
    Problem first = two_targets();
    first.refuseAt = 0;
    float x = 10.0f;
    EXPECT_EQ(solve1(first, x, -100.0f, 100.0f), -1);
    EXPECT_EQ(x, 10.0f);

    Problem later = two_targets();
    later.refuseAt = 3;  // the second trial
    x = 10.0f;
    EXPECT_EQ(solve1(later, x, -100.0f, 100.0f), -1);
    EXPECT_EQ(x, 6.0f);  // the first iteration's point had been handed back
}

TEST(SolveLM, ReturnsTheLastPointThatPassedBothTests) {
    // r = x^2 halves x per step; the last accepted point's residual is below
    // the tolerance, so the answer is the point before it.
    Problem halving = power(2.0f, 0.0f);
    float x = 1.0f;
    testing::internal::CaptureStdout();
    const int k = solve1(halving, x, -10.0f, 10.0f);
    const std::string printed = testing::internal::GetCapturedStdout();
    ASSERT_GT(k, 0);
    const float last = halving.calls.back().x[0];
    EXPECT_LT(last * last, kEps);
    EXPECT_FLOAT_EQ(x, 2.0f * last);
    EXPECT_GE(x * x, kEps);
    EXPECT_EQ(printed, "");

    // A Jacobian 10^4 times too steep makes the first step tiny: the trial is
    // accepted, but the caller keeps the start point.
    Problem steep;
    steep.residual = [](const std::vector<float>& v) { return std::vector<float>{v[0]}; };
    steep.jacobian = [](const std::vector<float>&) { return std::vector<float>{1e4f}; };
    x = 1e-3f;
    EXPECT_EQ(solve1(steep, x, -1.0f, 1.0f), 1);
    ASSERT_EQ(steep.calls.size(), 3u);
    EXPECT_TRUE(steep.calls[2].wantJacobian);
    EXPECT_LT(steep.calls[2].x[0], 1e-3f);
    EXPECT_EQ(x, 1e-3f);
}

TEST(SolveLM, DegenerateAndFailedEvaluationsNeverReachTheResult) {
    // All-zero Jacobian: no step, no NaN, the start point stays.
    Problem flat;
    flat.residual = [](const std::vector<float>&) { return std::vector<float>{1.0f, 2.0f}; };
    flat.jacobian = [](const std::vector<float>&) { return std::vector<float>{0.0f, 0.0f}; };
    float x = 0.3f;
    EXPECT_EQ(solve1(flat, x, 0.0f, 1.0f), 1);
    EXPECT_EQ(x, 0.3f);
    EXPECT_EQ(flat.calls.size(), 2u);  // an equal trial is not an improvement

    // A NaN residual at the first trial is rejected and the damping raised: the
    // next trial is a shorter step from the same point, and the solve still
    // reaches the minimum.
    Problem nanTrial = two_targets();
    nanTrial.nanResidualAt = 1;
    x = 10.0f;
    EXPECT_GT(solve1(nanTrial, x, -100.0f, 100.0f), 0);
    const std::vector<float> t = nanTrial.trials();
    ASSERT_GE(t.size(), 2u);
    EXPECT_EQ(t[0], 6.0f);
    EXPECT_FLOAT_EQ(t[1], 10.0f - 16.0f / 22.0f);  // lambda 1 * 10, the largest factor
    EXPECT_NEAR(x, 2.0f, 1e-5f);

    // A failed Gauss-Newton step (lambda 0) restarts the damping from the
    // cut-off 1 / max|diag(N^-1)| = 2, with half the factor: lambda = 2 * 5.
    Problem nanAfterGood = two_targets();
    nanAfterGood.nanResidualAt = 3;
    x = 10.0f;
    EXPECT_GT(solve1(nanAfterGood, x, -100.0f, 100.0f), 0);
    const std::vector<float> t2 = nanAfterGood.trials();
    ASSERT_GE(t2.size(), 3u);
    EXPECT_EQ(t2[1], 2.0f);
    EXPECT_FLOAT_EQ(t2[2], 6.0f - 8.0f / 22.0f);
    EXPECT_NEAR(x, 2.0f, 1e-5f);

    // A NaN Jacobian at an accepted point ends the solve there.
    Problem nanSlope = two_targets();
    nanSlope.nanJacobianAt = 2;
    x = 10.0f;
    EXPECT_EQ(solve1(nanSlope, x, -100.0f, 100.0f), 2);
    EXPECT_EQ(x, 6.0f);
    EXPECT_EQ(nanSlope.trials().size(), 1u);

    // A NaN residual at the start: nothing to improve on, the start stays.
    Problem nanStart = two_targets();
    nanStart.nanResidualAt = 0;
    x = 10.0f;
    EXPECT_EQ(solve1(nanStart, x, -100.0f, 100.0f), 1);
    EXPECT_EQ(x, 10.0f);
}
