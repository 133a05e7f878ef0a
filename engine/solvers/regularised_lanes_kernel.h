#pragma once
// The lane form of the regularised solve, included only by the files that compile it
// for one instruction set each (regularised_lanes_sse2.cpp, _avx2.cpp, _avx512.cpp).
// Everything here has internal linkage and calls no library template, so that no
// function compiled with wider instructions can stand in for another file's copy at
// link time.
//
// The operations and their order are those of RegularisedSolver (the elimination of
// eliminateWithoutPivoting, then the products): each sum starts from
// 0.0 and takes its terms in increasing k, a product and a difference round separately
// (the files are built without FMA), and a broadcast copies a double without arithmetic.

#include <cstddef>
#include <utility>

#include "engine/solvers/regularised_lanes.h"

namespace {

// GCC's vector types of L doubles and of L 64-bit lane masks.
template <int L>
struct LaneTypes;
template <>
struct LaneTypes<2> {
    typedef double Vector __attribute__((vector_size(16)));
    typedef long Mask __attribute__((vector_size(16)));
};
template <>
struct LaneTypes<4> {
    typedef double Vector __attribute__((vector_size(32)));
    typedef long Mask __attribute__((vector_size(32)));
};
template <>
struct LaneTypes<8> {
    typedef double Vector __attribute__((vector_size(64)));
    typedef long Mask __attribute__((vector_size(64)));
};

template <int L>
struct Lanes {
    using Vector = typename LaneTypes<L>::Vector;
    using Mask = typename LaneTypes<L>::Mask;

    // value in every lane, copied (a broadcast instruction).
    static Vector splat(double value) { return splat(value, std::make_index_sequence<L>{}); }
    template <std::size_t... I>
    static Vector splat(double value, std::index_sequence<I...>) {
        return Vector{(static_cast<void>(I), value)...};
    }

    // x and the two squared norms of L alphas; failed[l] is set where a pivot was zero
    // or NaN.
    template <int N>
    static void solve(const RegularisedSystem& s, const double* b, Vector alpha, Vector* x,
                      Vector& residual_sum, Vector& solution_sum, Mask& failed) {
        Vector m[N * N];
        Vector inverse[N * N];
        for (int i = 0; i < N; ++i)
            for (int k = 0; k < N; ++k) {
                m[i * N + k] = splat(s.normal[i * N + k]) + splat(i == k ? 1.0 : 0.0) * alpha;
                inverse[i * N + k] = splat(i == k ? 1.0 : 0.0);
            }
        // Step i reads m only in its columns i and beyond: the pivot and the factors
        // come from column i, and each entry is updated from its own column. Columns
        // before i are never read again, so they are not computed; every entry that is
        // read gets the scalar form's value.
        failed = Mask{};
        for (int i = 0; i < N; ++i) {
            const Vector p = m[i * N + i];
            failed |= ~((p > 0.0) | (p < 0.0));
            for (int k = i + 1; k < N; ++k) m[i * N + k] = m[i * N + k] / p;
            for (int k = 0; k < N; ++k) inverse[i * N + k] = inverse[i * N + k] / p;
            for (int j = 0; j < N; ++j) {
                if (j == i) continue;
                const Vector f = m[j * N + i];
                for (int k = i + 1; k < N; ++k) m[j * N + k] = m[j * N + k] - f * m[i * N + k];
                for (int k = 0; k < N; ++k)
                    inverse[j * N + k] = inverse[j * N + k] - f * inverse[i * N + k];
            }
        }
        // gain = inverse * A^T, then x = gain * b.
        Vector gain[N * N];
        for (int i = 0; i < N; ++i)
            for (int j = 0; j < N; ++j) {
                Vector sum = splat(0.0);
                for (int k = 0; k < N; ++k) sum += inverse[i * N + k] * splat(s.transposed[k * N + j]);
                gain[i * N + j] = sum;
            }
        for (int i = 0; i < N; ++i) {
            Vector sum = splat(0.0);
            for (int k = 0; k < N; ++k) sum += gain[i * N + k] * splat(b[k]);
            x[i] = sum;
        }
        residual_sum = splat(0.0);
        for (int i = 0; i < N; ++i) {
            Vector fitted = splat(0.0);
            for (int k = 0; k < N; ++k) fitted += splat(s.a[i * N + k]) * x[k];
            const Vector r = fitted - splat(b[i]);
            residual_sum += r * r;
        }
        solution_sum = splat(0.0);
        for (int i = 0; i < N; ++i) solution_sum += x[i] * x[i];
    }

    template <int N>
    static void solve_all(const RegularisedSystem& s, const double* b, const double* alphas,
                          std::size_t count, AlphaSolution* out) {
        for (std::size_t first = 0; first < count; first += L) {
            // The lanes past the last alpha repeat it; their results are dropped.
            Vector alpha;
            for (int l = 0; l < L; ++l) alpha[l] = alphas[first + l < count ? first + l : count - 1];
            Vector x[N];
            Vector residual_sum, solution_sum;
            Mask failed;
            solve<N>(s, b, alpha, x, residual_sum, solution_sum, failed);
            for (int l = 0; l < L && first + l < count; ++l) {
                AlphaSolution& o = out[first + l];
                o.solved = failed[l] == 0;
                for (int i = 0; i < 10; ++i) o.x[i] = i < N ? x[i][l] : 0.0;
                o.residual_norm = __builtin_sqrt(residual_sum[l]);
                o.solution_norm = __builtin_sqrt(solution_sum[l]);
            }
        }
    }

    static void solve_any(const RegularisedSystem& s, const double* b, const double* alphas,
                          std::size_t count, AlphaSolution* out) {
        switch (s.n) {
            case 1: return solve_all<1>(s, b, alphas, count, out);
            case 2: return solve_all<2>(s, b, alphas, count, out);
            case 3: return solve_all<3>(s, b, alphas, count, out);
            case 4: return solve_all<4>(s, b, alphas, count, out);
            case 5: return solve_all<5>(s, b, alphas, count, out);
            case 6: return solve_all<6>(s, b, alphas, count, out);
            case 7: return solve_all<7>(s, b, alphas, count, out);
            case 8: return solve_all<8>(s, b, alphas, count, out);
            case 9: return solve_all<9>(s, b, alphas, count, out);
            case 10: return solve_all<10>(s, b, alphas, count, out);
        }
    }
};

}  // namespace
