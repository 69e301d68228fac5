// The automatic calibration of the version-1 keyer's similarity threshold: a
// one-parameter least-squares search over the keyer's error sums.
#pragma once

#include "calibration/lm_solver.h"

namespace cmatte {

// What the search evaluates: the keyer's error sums e0..e4 for one similarity.
class SimilarityEvaluator {
public:
    virtual ~SimilarityEvaluator() = default;
    virtual void evaluateSimilarity(float similar, float smooth, float e[5]) = 0;
};

struct SimilarResult {
    float similar;
    float error;  // the best e4 when the best similarity was taken, else the last e4
};

// Searches the similarity in [lower, upper] from s0. The keyer's readback
// arrays and frame facts travel with the search for its evaluations.
SimilarResult searchSimilar(float s0, float lower, float upper, unsigned char* alphaArray,
                            unsigned char* statArray, int keyColor, int width, int height,
                            SimilarityEvaluator* owner);

// The objective: residuals e0..e3 of one evaluation; e4 picks the best point.
class opt_Similar : public LMSolver6_Callback {
public:
    bool compute(const FloatMatrix& x, FloatMatrix& r, FloatMatrix* J, bool wantJacobian) override;

    SimilarityEvaluator* owner = nullptr;
    int keyColor = 0;
    int width = 0;
    int height = 0;
    unsigned char* alphaArray = nullptr;
    unsigned char* statArray = nullptr;
    float smooth = 10.0f;
    float lower = 0.0f;
    float upper = 0.0f;
    float lastErrors[5] = {};
    float bestError = 3.4028235e38f;
    float bestSimilar = 0.4f;
};

}  // namespace cmatte
