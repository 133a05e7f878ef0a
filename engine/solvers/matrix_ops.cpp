#include "engine/solvers/matrix_ops.h"

#include <cmath>

void setIdentity(SystemMatrix& m, int n) {
    for (int i = 0; i < n; ++i)
        for (int k = 0; k < n; ++k) entry(m, i, k) = i == k ? 1.0 : 0.0;
}

void transposeMatrix(const SystemMatrix& a, SystemMatrix& result, int n) {
    for (int i = 0; i < n; ++i)
        for (int k = 0; k < n; ++k) entry(result, i, k) = entry(a, k, i);
}

void multiplyMatrices(const SystemMatrix& a, const SystemMatrix& b, SystemMatrix& result, int n) {
    for (int i = 0; i < n; ++i) {
        for (int j = 0; j < n; ++j) {
            double sum = 0.0;
            for (int k = 0; k < n; ++k) sum += entry(a, i, k) * entry(b, k, j);
            entry(result, i, j) = sum;
        }
    }
}

void addMatrices(const SystemMatrix& a, const SystemMatrix& b, SystemMatrix& result, int n) {
    for (int i = 0; i < n; ++i)
        for (int k = 0; k < n; ++k) entry(result, i, k) = entry(a, i, k) + entry(b, i, k);
}

void scaleMatrix(const SystemMatrix& a, double factor, SystemMatrix& result, int n) {
    for (int i = 0; i < n; ++i)
        for (int k = 0; k < n; ++k) entry(result, i, k) = entry(a, i, k) * factor;
}

void multiplyMatrixVector(const SystemMatrix& a, const SystemVector& v, SystemVector& result,
                          int n) {
    for (int i = 0; i < n; ++i) {
        double sum = 0.0;
        for (int k = 0; k < n; ++k) sum += entry(a, i, k) * v[k];
        result[i] = sum;
    }
}

void subtractVectors(const SystemVector& a, const SystemVector& b, SystemVector& result, int n) {
    for (int i = 0; i < n; ++i) result[i] = a[i] - b[i];
}

double euclideanNorm(const SystemVector& v, int n) {
    double sum = 0.0;
    for (int i = 0; i < n; ++i) sum += v[i] * v[i];
    return std::sqrt(sum);
}
