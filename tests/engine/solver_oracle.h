#pragma once
// Independent truth for the solver tests: a fixed-seed generator of test matrices and a
// partial-pivoting LU solve in long double, which shares no code with the solvers.

#include <cmath>
#include <cstdint>
#include <utility>

#include "engine/engine.h"

// Deterministic values in [-1, 1): a 64-bit linear congruential generator, so the
// matrices do not depend on the standard library's distributions.
class TestValues {
public:
    explicit TestValues(std::uint64_t seed) : state_(seed) {}
    double next() {
        state_ = state_ * 6364136223846793005ULL + 1442695040888963407ULL;
        return static_cast<double>(state_ >> 11) / 4503599627370496.0 - 1.0;
    }

private:
    std::uint64_t state_;
};

// A random n x n block, entries in [-1, 1); the rest of the array is zero.
inline void fillRandom(SystemMatrix& a, int n, TestValues& values) {
    for (double& e : a) e = 0.0;
    for (int i = 0; i < n; ++i)
        for (int k = 0; k < n; ++k) a[i * 10 + k] = values.next();
}

// A symmetric positive definite normal matrix B^T B + n I, as a local fit would build it.
inline void fillNormalMatrix(SystemMatrix& a, int n, TestValues& values) {
    SystemMatrix b;
    fillRandom(b, n, values);
    for (double& e : a) e = 0.0;
    for (int i = 0; i < n; ++i)
        for (int k = 0; k < n; ++k) {
            double sum = i == k ? n : 0.0;
            for (int j = 0; j < n; ++j) sum += b[j * 10 + i] * b[j * 10 + k];
            a[i * 10 + k] = sum;
        }
}

// Solves a x = b by LU with partial pivoting in long double; false for a singular block.
inline bool solveByPivotingLu(const SystemMatrix& a, const SystemVector& b, int n,
                              long double x[10]) {
    long double m[10][11];
    for (int i = 0; i < n; ++i) {
        for (int k = 0; k < n; ++k) m[i][k] = a[i * 10 + k];
        m[i][n] = b[i];
    }
    for (int c = 0; c < n; ++c) {
        int best = c;
        for (int r = c + 1; r < n; ++r)
            if (fabsl(m[r][c]) > fabsl(m[best][c])) best = r;
        if (m[best][c] == 0.0L) return false;
        for (int k = 0; k <= n; ++k) std::swap(m[c][k], m[best][k]);
        for (int r = c + 1; r < n; ++r) {
            const long double f = m[r][c] / m[c][c];
            for (int k = c; k <= n; ++k) m[r][k] -= f * m[c][k];
        }
    }
    for (int i = n - 1; i >= 0; --i) {
        long double s = m[i][n];
        for (int k = i + 1; k < n; ++k) s -= m[i][k] * x[k];
        x[i] = s / m[i][i];
    }
    return true;
}

// max_i |(a x - b)_i| in long double.
inline long double residualMax(const SystemMatrix& a, const SystemVector& x,
                               const SystemVector& b, int n) {
    long double worst = 0.0L;
    for (int i = 0; i < n; ++i) {
        long double r = -static_cast<long double>(b[i]);
        for (int k = 0; k < n; ++k) r += static_cast<long double>(a[i * 10 + k]) * x[k];
        if (fabsl(r) > worst) worst = fabsl(r);
    }
    return worst;
}
