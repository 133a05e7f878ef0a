#pragma once
// Plain operations on the leading n x n block of a SystemMatrix and the first n entries
// of a SystemVector. Every sum runs over its index in increasing order starting from
// 0.0, so results do not depend on the build.

#include "engine/engine.h"

inline constexpr int MATRIX_STRIDE = 10;

// Entry (row i, column k) of a row-major 10 x 10 array.
inline double& entry(SystemMatrix& m, int i, int k) { return m[i * MATRIX_STRIDE + k]; }
inline double entry(const SystemMatrix& m, int i, int k) { return m[i * MATRIX_STRIDE + k]; }

// The identity in the leading block; entries outside it are left alone.
void setIdentity(SystemMatrix& m, int n);
// result = a^T.
void transposeMatrix(const SystemMatrix& a, SystemMatrix& result, int n);
// result = a * b; result must not alias a or b.
void multiplyMatrices(const SystemMatrix& a, const SystemMatrix& b, SystemMatrix& result, int n);
// result = a + b, entry by entry; result may alias a or b.
void addMatrices(const SystemMatrix& a, const SystemMatrix& b, SystemMatrix& result, int n);
// result = a * factor, entry by entry.
void scaleMatrix(const SystemMatrix& a, double factor, SystemMatrix& result, int n);
// result = a * v; result must not alias v.
void multiplyMatrixVector(const SystemMatrix& a, const SystemVector& v, SystemVector& result,
                          int n);
// result = a - b, entry by entry.
void subtractVectors(const SystemVector& a, const SystemVector& b, SystemVector& result, int n);
// sqrt of the sum of squares in index order.
double euclideanNorm(const SystemVector& v, int n);
