// The similarity search over a scripted keyer: which point it returns.
#include "calibration/similarity_search.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <string>
#include <vector>

namespace {

const float kNaN = std::numeric_limits<float>::quiet_NaN();

// Error sums from functions of the similarity; records every evaluation.
struct ScriptedKeyer : cmatte::SimilarityEvaluator {
    std::function<float(float)> residual;  // e0; e1..e3 are zero
    std::function<float(float)> score;     // e4
    std::vector<float> seen;
    std::vector<float> smooths;

    void evaluateSimilarity(float similar, float smooth, float e[5]) override {
        seen.push_back(similar);
        smooths.push_back(smooth);
        e[0] = residual(similar);
        e[1] = e[2] = e[3] = 0.0f;
        e[4] = score(similar);
    }

    bool saw(float s) const {
        for (float v : seen) {
            if (v == s) return true;
        }
        return false;
    }
};

// A residual whose least-squares minimum is at m.
std::function<float(float)> valley(float m) {
    return [m](float s) { return 100.0f * (s - m); };
}

cmatte::SimilarResult search(ScriptedKeyer& keyer, float s0, float lower, float upper,
                             int keyColor = 2) {
    unsigned char alpha[4] = {}, stat[4] = {};
    testing::internal::CaptureStdout();
    const cmatte::SimilarResult result =
        cmatte::searchSimilar(s0, lower, upper, alpha, stat, keyColor, 2, 2, &keyer);
    testing::internal::GetCapturedStdout();
    return result;
}

}  // namespace

TEST(SearchSimilar, ReturnsTheBestScoredPointInsideTheBounds) {
    ScriptedKeyer keyer;
    keyer.residual = valley(0.45f);
    keyer.score = [](float s) { return std::fabs(s - 0.45f) + 0.1f; };
    const cmatte::SimilarResult r = search(keyer, 0.4f, 0.35f, 0.5f);
    EXPECT_NEAR(r.similar, 0.45f, 1e-4f);
    EXPECT_NEAR(r.error, 0.1f, 1e-4f);
    for (float smooth : keyer.smooths) EXPECT_EQ(smooth, 10.0f);
}

TEST(SearchSimilar, AnUnbeatenFirstScoreKeepsTheStartValue) {
    ScriptedKeyer keyer;
    keyer.residual = valley(0.45f);
    keyer.score = [](float) { return 5.0f; };
    const cmatte::SimilarResult r = search(keyer, 0.4f, 0.35f, 0.5f);
    EXPECT_EQ(r.similar, 0.4f);
    EXPECT_EQ(r.error, 5.0f);
    EXPECT_NEAR(keyer.seen.back(), 0.45f, 0.01f);  // the solver itself moved on

    // Key colour 1: the start best of 0.4 lies outside (0.1, 0.3), but the
    // first evaluation replaces it.
    ScriptedKeyer green;
    green.residual = valley(0.25f);
    green.score = [](float) { return 7.0f; };
    const cmatte::SimilarResult g = search(green, 0.2f, 0.1f, 0.3f, 1);
    EXPECT_EQ(g.similar, 0.2f);
    EXPECT_EQ(g.error, 7.0f);
}

TEST(SearchSimilar, ProbesNeverCompeteForTheBest) {
    const float probe = 0.4f * 1.01f;
    ScriptedKeyer keyer;
    keyer.residual = valley(0.45f);
    keyer.score = [probe](float s) { return s == probe ? 0.0f : std::fabs(s - 0.45f) + 0.1f; };
    const cmatte::SimilarResult r = search(keyer, 0.4f, 0.35f, 0.5f);
    ASSERT_TRUE(keyer.saw(probe));
    EXPECT_NE(r.similar, probe);
    EXPECT_NEAR(r.similar, 0.45f, 1e-4f);
}

TEST(SearchSimilar, ABestOnABoundGivesTheSolversPoint) {
    // Far from 0.46 the residual flattens, so the first step overshoots and is
    // clamped to the upper bound, where the score is lowest.
    ScriptedKeyer keyer;
    keyer.residual = [](float s) { return std::atan(100.0f * (s - 0.46f)); };
    keyer.score = [](float s) { return 1.0f - s; };
    const cmatte::SimilarResult r = search(keyer, 0.4f, 0.35f, 0.5f);
    ASSERT_TRUE(keyer.saw(0.5f));
    EXPECT_NE(r.similar, 0.5f);
    EXPECT_NEAR(r.similar, 0.46f, 1e-3f);
}

TEST(SearchSimilar, NaNErrorsNeverBecomeTheResult) {
    // A NaN score is never the best, even where the solver goes.
    ScriptedKeyer keyer;
    keyer.residual = valley(0.45f);
    keyer.score = [](float s) { return s == 0.4f ? 3.0f : kNaN; };
    const cmatte::SimilarResult r = search(keyer, 0.4f, 0.35f, 0.5f);
    EXPECT_EQ(r.similar, 0.4f);
    EXPECT_EQ(r.error, 3.0f);

    // Everything but the start evaluates to NaN, and no score is ever usable:
    // the result is the solver's point, finite and inside the bounds.
    ScriptedKeyer broken;
    broken.residual = [](float s) { return s == 0.2f ? 1.0f : kNaN; };
    broken.score = [](float) { return kNaN; };
    const cmatte::SimilarResult b = search(broken, 0.2f, 0.1f, 0.3f, 1);
    EXPECT_EQ(b.similar, 0.2f);

    ScriptedKeyer trialsFail;
    trialsFail.residual = [&trialsFail](float s) {
        return trialsFail.seen.size() > 2 ? kNaN : 100.0f * (s - 0.25f);
    };
    trialsFail.score = [](float) { return kNaN; };
    const cmatte::SimilarResult t = search(trialsFail, 0.2f, 0.1f, 0.3f, 1);
    EXPECT_TRUE(std::isfinite(t.similar));
    EXPECT_GE(t.similar, 0.1f);
    EXPECT_LE(t.similar, 0.3f);
}

TEST(OptSimilar, ChecksTheParameterShapeAndDifferencesOverOnePercent) {
    ScriptedKeyer keyer;
    keyer.residual = [](float s) { return s * s; };
    keyer.score = [](float) { return 1.0f; };
    cmatte::opt_Similar objective;
    objective.owner = &keyer;

    cmatte::FloatMatrix r, J;
    testing::internal::CaptureStdout();
    EXPECT_FALSE(objective.compute(cmatte::FloatMatrix(2, 2), r, &J, true));
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "cb_fun_call_err::compute: params0 NOT valid\n");
    EXPECT_TRUE(keyer.seen.empty());

    const float s[] = {0.5f};
    ASSERT_TRUE(objective.compute(cmatte::FloatMatrix(1, 1, s), r, &J, true));
    ASSERT_EQ(r.rows(), 4);
    ASSERT_EQ(J.rows(), 4);
    const float sp = 0.5f * 1.01f;
    EXPECT_FLOAT_EQ(J[0], (sp * sp - 0.25f) / (sp - 0.5f));
    EXPECT_EQ(J[1], 0.0f);
    EXPECT_EQ(objective.bestSimilar, 0.5f);
    EXPECT_EQ(objective.lastErrors[0], 0.25f);  // not the probe's

    // At zero the probe step vanishes; the difference is taken over 1.
    const float zero[] = {0.0f, 0.3f};  // a row: only its first element counts
    ASSERT_TRUE(objective.compute(cmatte::FloatMatrix(1, 2, zero), r, &J, true));
    EXPECT_EQ(J[0], 0.0f);
}
