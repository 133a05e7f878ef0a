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

    // m = A^T A + alpha I and its inverse by Gauss-Jordan elimination without pivoting;
    // failed[l] is set where a pivot was zero or NaN.
    //
    // Step i reads m only in its columns i and beyond: the pivot and the factors come
    // from column i, and each entry is updated from its own column. Columns before i are
    // never read again, so they are not computed; every entry that is read gets the
    // scalar form's value.
    //
    // With SkipZeros the inverse's structural zeros are left alone too. Before step i the
    // inverse is dense in its columns 0 .. i - 1 and the identity beyond, so step i
    // divides and subtracts only in columns 0 .. i (55 divisions of 100 and 495 updates
    // of 900 with 10 unknowns). The entries left out are zeros in the scalar form as well,
    // possibly of the other sign, and a signed zero never changes the products that
    // follow: each of their sums starts from +0.0, to which adding a zero of either sign
    // gives +0.0. That holds while every factor is finite (an infinite or NaN factor
    // times a zero is NaN); lanes with another factor are marked in `unsure`.
    template <int N, bool SkipZeros>
    static void eliminate(const RegularisedSystem& s, Vector alpha, Vector* m, Vector* inverse,
                          Mask& failed, Mask& unsure) {
        for (int i = 0; i < N; ++i)
            for (int k = 0; k < N; ++k) {
                m[i * N + k] = splat(s.normal[i * N + k]) + splat(i == k ? 1.0 : 0.0) * alpha;
                inverse[i * N + k] = splat(i == k ? 1.0 : 0.0);
            }
        failed = Mask{};
        unsure = Mask{};
        for (int i = 0; i < N; ++i) {
            const int dense = SkipZeros ? i + 1 : N;  // the inverse's columns step i changes
            const Vector p = m[i * N + i];
            failed |= ~((p > 0.0) | (p < 0.0));
            for (int k = i + 1; k < N; ++k) m[i * N + k] = m[i * N + k] / p;
            for (int k = 0; k < dense; ++k) inverse[i * N + k] = inverse[i * N + k] / p;
            for (int j = 0; j < N; ++j) {
                if (j == i) continue;
                const Vector f = m[j * N + i];
                if (SkipZeros) unsure |= (f - f) != 0.0;
                for (int k = i + 1; k < N; ++k) m[j * N + k] = m[j * N + k] - f * m[i * N + k];
                for (int k = 0; k < dense; ++k)
                    inverse[j * N + k] = inverse[j * N + k] - f * inverse[i * N + k];
            }
        }
    }

    // x and the two squared norms of L alphas; failed[l] is set where a pivot was zero
    // or NaN.
    template <int N>
    static void solve(const RegularisedSystem& s, const double* b, Vector alpha, Vector* x,
                      Vector& residual_sum, Vector& solution_sum, Mask& failed) {
        Vector m[N * N];
        Vector inverse[N * N];
        Mask unsure;
        eliminate<N, true>(s, alpha, m, inverse, failed, unsure);
        // Lanes that failed are dropped whatever they hold. Where any other met a factor
        // that is not finite, which the argument above does not cover, the vector takes
        // every step.
        bool again = false;
        for (int l = 0; l < L; ++l) again |= (unsure[l] & ~failed[l]) != 0;
        if (again) eliminate<N, false>(s, alpha, m, inverse, failed, unsure);
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
