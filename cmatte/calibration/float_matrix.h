// A small dense matrix of 32-bit floats, row-major, with the few operations
// the least-squares solver needs. Vectors are matrices of one column.
#pragma once

#include <cstdint>
#include <vector>

namespace cmatte {

class FloatMatrix {
public:
    FloatMatrix() = default;
    FloatMatrix(int rows, int cols, const float* fill = nullptr) { resize(rows, cols, fill); }

    // Sets the shape; the element array keeps its leading values and new
    // elements are zero. With fill, all rows*cols elements are copied from it.
    void resize(int rows, int cols, const float* fill = nullptr);

    int rows() const { return mRows; }
    int cols() const { return mCols; }
    int layout() const { return mLayout; }
    std::int64_t step() const { return mStep; }
    int size() const { return mRows * mCols; }
    bool empty() const { return size() == 0; }
    bool is_vector() const { return mRows == 1 || mCols == 1; }

    float* data() { return mData.data(); }
    const float* data() const { return mData.data(); }
    float& operator[](int i) { return mData[i]; }
    float operator[](int i) const { return mData[i]; }
    float& at(int r, int c) { return mData[r * mCols + c]; }
    float at(int r, int c) const { return mData[r * mCols + c]; }

    bool all_finite() const;

private:
    std::int32_t mRows = 0;
    std::int32_t mCols = 0;
    std::int32_t mLayout = 1;
    std::int64_t mStep = 0;  // bytes per row
    std::vector<float> mData;
};

void copy(const FloatMatrix& a, FloatMatrix& out);
void transpose(const FloatMatrix& a, FloatMatrix& out);

// out = alpha * op(a) * b + beta * c, op(a) = a or a transposed; c may be
// null (no term). Returns false, leaving out untouched, when shapes disagree.
bool gemm(const FloatMatrix& a, bool transposeA, const FloatMatrix& b, float alpha,
          const FloatMatrix* c, float beta, FloatMatrix& out);

// out = j^T j.
void normal_matrix(const FloatMatrix& j, FloatMatrix& out);

// Sum of the element products; 0 when the element counts differ.
float dot(const FloatMatrix& a, const FloatMatrix& b);

// out = a - b element by element; false when the shapes differ.
bool subtract(const FloatMatrix& a, const FloatMatrix& b, FloatMatrix& out);

// Mode 1: sum of |a|; mode 4: largest row sum of |a|. Other modes are a
// caller's bug: printed, and the largest float is returned.
float norm(const FloatMatrix& a, int mode);

// x = the least-squares, minimum-norm solution of a * x = b through a singular
// value decomposition; b may have several columns. False when the row counts
// differ or a is empty.
bool solve(const FloatMatrix& a, const FloatMatrix& b, FloatMatrix& x);

// The (pseudo-)inverse of a.
bool inverse(const FloatMatrix& a, FloatMatrix& out);

}  // namespace cmatte
