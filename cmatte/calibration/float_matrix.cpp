#include "calibration/float_matrix.h"

#include <algorithm>
#include <cfloat>
#include <cmath>

#include "gpu_runtime/gpu_print.h"

namespace cmatte {

namespace {

constexpr int kMaxSweeps = 60;
constexpr double kRelativeCutoff = 4.440892e-16;

// a = u * diag(s) * v^T by one-sided Jacobi rotations on the columns of a,
// in double. u is m x n with orthonormal (or zero) columns, v is n x n.
struct Svd {
    int m = 0;
    int n = 0;
    std::vector<double> u;
    std::vector<double> s;
    std::vector<double> v;
};

void rotate_columns(std::vector<double>& w, int rows, int cols, int p, int q, double c, double s) {
    for (int i = 0; i < rows; ++i) {
        const double wp = w[i * cols + p];
        const double wq = w[i * cols + q];
        w[i * cols + p] = c * wp - s * wq;
        w[i * cols + q] = s * wp + c * wq;
    }
}

Svd jacobi_svd(const FloatMatrix& a) {
    Svd d;
    d.m = a.rows();
    d.n = a.cols();
    const int m = d.m;
    const int n = d.n;
    d.u.assign(a.data(), a.data() + a.size());
    d.v.assign(static_cast<size_t>(n) * n, 0.0);
    for (int i = 0; i < n; ++i) d.v[i * n + i] = 1.0;

    for (int sweep = 0; sweep < kMaxSweeps; ++sweep) {
        bool rotated = false;
        for (int p = 0; p < n - 1; ++p) {
            for (int q = p + 1; q < n; ++q) {
                double alpha = 0.0, beta = 0.0, gamma = 0.0;
                for (int i = 0; i < m; ++i) {
                    const double up = d.u[i * n + p];
                    const double uq = d.u[i * n + q];
                    alpha += up * up;
                    beta += uq * uq;
                    gamma += up * uq;
                }
                if (gamma == 0.0 || std::fabs(gamma) <= DBL_EPSILON * std::sqrt(alpha * beta))
                    continue;
                const double zeta = (beta - alpha) / (2.0 * gamma);
                const double t =
                    (zeta >= 0.0 ? 1.0 : -1.0) / (std::fabs(zeta) + std::hypot(1.0, zeta));
                const double c = 1.0 / std::sqrt(1.0 + t * t);
                rotate_columns(d.u, m, n, p, q, c, c * t);
                rotate_columns(d.v, n, n, p, q, c, c * t);
                rotated = true;
            }
        }
        if (!rotated) break;
    }

    d.s.assign(n, 0.0);
    for (int j = 0; j < n; ++j) {
        double sum = 0.0;
        for (int i = 0; i < m; ++i) sum += d.u[i * n + j] * d.u[i * n + j];
        d.s[j] = std::sqrt(sum);
        if (d.s[j] > 0.0) {
            for (int i = 0; i < m; ++i) d.u[i * n + j] /= d.s[j];
        }
    }
    return d;
}

// Singular values at or below this count as zero. The relative floor keeps
// exactly singular systems out; the float floor keeps out values that are
// rounding noise of float input, whose reciprocals would blow the answer up
// to infinity.
double zero_cutoff(const std::vector<double>& s) {
    double sum = 0.0, largest = 0.0;
    for (double v : s) {
        sum += v;
        largest = std::max(largest, v);
    }
    return std::max(kRelativeCutoff * sum, FLT_EPSILON * largest);
}

}  // namespace

void FloatMatrix::resize(int rows, int cols, const float* fill) {
    mRows = std::max(rows, 0);
    mCols = std::max(cols, 0);
    mStep = static_cast<std::int64_t>(mCols) * sizeof(float);
    mData.resize(static_cast<size_t>(mRows) * mCols, 0.0f);
    if (fill != nullptr) std::copy(fill, fill + mData.size(), mData.begin());
}

bool FloatMatrix::all_finite() const {
    return std::all_of(mData.begin(), mData.end(), [](float v) { return std::isfinite(v); });
}

void copy(const FloatMatrix& a, FloatMatrix& out) { out.resize(a.rows(), a.cols(), a.data()); }

void transpose(const FloatMatrix& a, FloatMatrix& out) {
    FloatMatrix t(a.cols(), a.rows());
    for (int r = 0; r < a.rows(); ++r) {
        for (int c = 0; c < a.cols(); ++c) t.at(c, r) = a.at(r, c);
    }
    out = std::move(t);
}

bool gemm(const FloatMatrix& a, bool transposeA, const FloatMatrix& b, float alpha,
          const FloatMatrix* c, float beta, FloatMatrix& out) {
    const int rows = transposeA ? a.cols() : a.rows();
    const int inner = transposeA ? a.rows() : a.cols();
    if (inner != b.rows()) return false;
    if (c != nullptr && (c->rows() != rows || c->cols() != b.cols())) return false;
    FloatMatrix result(rows, b.cols());
    for (int r = 0; r < rows; ++r) {
        for (int col = 0; col < b.cols(); ++col) {
            float sum = 0.0f;
            for (int k = 0; k < inner; ++k)
                sum += (transposeA ? a.at(k, r) : a.at(r, k)) * b.at(k, col);
            result.at(r, col) = alpha * sum + (c != nullptr ? beta * c->at(r, col) : 0.0f);
        }
    }
    out = std::move(result);
    return true;
}

void normal_matrix(const FloatMatrix& j, FloatMatrix& out) {
    gemm(j, true, j, 1.0f, nullptr, 0.0f, out);
}

float dot(const FloatMatrix& a, const FloatMatrix& b) {
    if (a.size() != b.size()) return 0.0f;
    float sum = 0.0f;
    for (int i = 0; i < a.size(); ++i) sum += a[i] * b[i];
    return sum;
}

bool subtract(const FloatMatrix& a, const FloatMatrix& b, FloatMatrix& out) {
    if (a.rows() != b.rows() || a.cols() != b.cols()) return false;
    FloatMatrix d(a.rows(), a.cols());
    for (int i = 0; i < a.size(); ++i) d[i] = a[i] - b[i];
    out = std::move(d);
    return true;
}

float norm(const FloatMatrix& a, int mode) {
    if (mode == 1) {
        float sum = 0.0f;
        for (int i = 0; i < a.size(); ++i) sum += std::fabs(a[i]);
        return sum;
    }
    if (mode == 4) {
        float largest = 0.0f;
        for (int r = 0; r < a.rows(); ++r) {
            float sum = 0.0f;
            for (int c = 0; c < a.cols(); ++c) sum += std::fabs(a.at(r, c));
            largest = std::max(largest, sum);
        }
        return largest;
    }
    gpurt::gpu_print("__BUG__ mode NOT support\n");
    return FLT_MAX;
}

bool solve(const FloatMatrix& a, const FloatMatrix& b, FloatMatrix& x) {
    if (a.empty() || a.rows() != b.rows()) return false;
    const Svd d = jacobi_svd(a);
    const double cutoff = zero_cutoff(d.s);
    const int n = d.n;
    FloatMatrix result(n, b.cols());
    std::vector<double> coeff(n);
    for (int col = 0; col < b.cols(); ++col) {
        // coeff = diag(1/s) * u^T * b, with zero for the discarded directions.
        for (int j = 0; j < n; ++j) {
            coeff[j] = 0.0;
            if (d.s[j] <= cutoff) continue;
            double sum = 0.0;
            for (int i = 0; i < d.m; ++i) sum += d.u[i * n + j] * b.at(i, col);
            coeff[j] = sum / d.s[j];
        }
        for (int r = 0; r < n; ++r) {
            double sum = 0.0;
            for (int j = 0; j < n; ++j) sum += d.v[r * n + j] * coeff[j];
            result.at(r, col) = static_cast<float>(sum);
        }
    }
    x = std::move(result);
    return true;
}

bool inverse(const FloatMatrix& a, FloatMatrix& out) {
    FloatMatrix identity(a.rows(), a.rows());
    for (int i = 0; i < a.rows(); ++i) identity.at(i, i) = 1.0f;
    return solve(a, identity, out);
}

}  // namespace cmatte
