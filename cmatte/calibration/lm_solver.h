// Bounded non-linear least squares: Fletcher's modified Levenberg-Marquardt
// method with the damping scaled by the diagonal of the first normal matrix.
#pragma once

#include "calibration/float_matrix.h"

namespace cmatte {

// Residuals (and the Jacobian, one row per residual, one column per
// parameter) at a parameter vector. J is null when wantJacobian is false.
// Returning false aborts the solve.
class LMSolver6_Callback {
public:
    virtual bool compute(const FloatMatrix& x, FloatMatrix& r, FloatMatrix* J,
                         bool wantJacobian) = 0;
    virtual ~LMSolver6_Callback() = default;
};

// Minimises the sum of squared residuals over lower <= x <= upper. x holds the
// start point on entry; on return it holds the point of the last iteration
// whose step and residual both stayed above the tolerances eps1 and eps2 (the
// start point when none did). Returns the number of iterations, -50 when the
// cap of 50 was reached, -1 when the callback refused.
//
// A residual that is not finite counts as a failed evaluation: that trial is
// rejected and the damping raised. A step that cannot be computed in finite
// numbers (from a non-finite residual or Jacobian) ends the solve at the
// current point.
int solveLM(FloatMatrix& x, const FloatMatrix& lower, const FloatMatrix& upper, float eps1,
            float eps2, LMSolver6_Callback& cb);

}  // namespace cmatte
