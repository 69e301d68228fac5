#include "calibration/similarity_search.h"

#include <cmath>

#include "gpu_runtime/gpu_print.h"

namespace cmatte {

namespace {

constexpr float kProbeFactor = 1.01f;
constexpr float kFloatEpsilon = 1.1920929e-7f;

}  // namespace

bool opt_Similar::compute(const FloatMatrix& x, FloatMatrix& r, FloatMatrix* J, bool wantJacobian) {
    if (x.empty() || !x.is_vector()) {
        gpurt::gpu_print("cb_fun_call_err::compute: params0 NOT valid\n");
        return false;
    }
    const float s = x[0];
    float e[5];
    owner->evaluateSimilarity(s, smooth, e);
    // A NaN e4 never compares less, so it never becomes the best.
    if (e[4] < bestError) {
        bestError = e[4];
        bestSimilar = s;
    }
    for (int i = 0; i < 5; ++i) lastErrors[i] = e[i];
    r.resize(4, 1, e);

    if (wantJacobian && J != nullptr) {
        // One-sided difference over a 1 % step; the probe is not a candidate.
        const float sp = s * kProbeFactor;
        float ep[5];
        owner->evaluateSimilarity(sp, smooth, ep);
        float h = sp - s;
        if (std::fabs(h) < 1e-9f) h = 1.0f;
        J->resize(4, 1);
        for (int i = 0; i < 4; ++i) (*J)[i] = (ep[i] - e[i]) / h;
    }
    return true;
}

SimilarResult searchSimilar(float s0, float lower, float upper, unsigned char* alphaArray,
                            unsigned char* statArray, int keyColor, int width, int height,
                            SimilarityEvaluator* owner) {
    opt_Similar objective;
    objective.owner = owner;
    objective.keyColor = keyColor;
    objective.width = width;
    objective.height = height;
    objective.alphaArray = alphaArray;
    objective.statArray = statArray;
    objective.lower = lower;
    objective.upper = upper;

    FloatMatrix x(1, 1, &s0);
    const FloatMatrix lo(1, 1, &lower);
    const FloatMatrix hi(1, 1, &upper);
    solveLM(x, lo, hi, kFloatEpsilon, kFloatEpsilon, objective);

    if (objective.bestSimilar > lower && objective.bestSimilar < upper) {
        return {objective.bestSimilar, objective.bestError};
    }
    return {x[0], objective.lastErrors[4]};
}

}  // namespace cmatte
