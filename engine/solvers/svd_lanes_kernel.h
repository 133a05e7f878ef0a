#pragma once
// The lane form of decomposeSvd and solveMoorePenrose, included only by the files that
// compile it for one instruction set each (svd_lanes_sse2.cpp, _avx2.cpp, _avx512.cpp).
// Everything here has internal linkage and calls no library function, so that no
// function compiled with wider instructions can stand in for another file's copy at link
// time.
//
// Every operation of the scalar code appears here in its order, on all lanes: sums start
// from 0.0 and take their terms in the same order, products and differences round
// separately (the files are built without FMA), and division and square root are the
// correctly rounded instructions in any width. Where the scalar code branches, a lane
// mask selects, lane by lane, between the value the branch computes and the value left
// untouched; the arithmetic done for lanes that do not take a branch is thrown away.
// Lanes finish their QR sweeps at different counts: all lanes work on the same singular
// value k, and a lane whose value has split off (or that failed) sits out the sweeps the
// others still make.

#include <immintrin.h>

#include <cstddef>
#include <cstdint>

#include "engine/solvers/negligible_sum.h"
#include "engine/solvers/svd_lanes.h"

// GCC 12's AVX-512F square root passes an undefined vector as the unused masked operand,
// which -Wuninitialized and -Wmaybe-uninitialized report wherever it is inlined.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wuninitialized"
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif

namespace {

// GCC's vector types of L doubles and of L 64-bit lane masks, the square root and the
// "any lane set" test of each width.
template <int L>
struct SvdLaneTypes;

template <>
struct SvdLaneTypes<2> {
    typedef double Vector __attribute__((vector_size(16)));
    typedef long Mask __attribute__((vector_size(16)));
    static Vector root(Vector x) { return _mm_sqrt_pd(x); }
    static bool any(Mask m) { return _mm_movemask_pd(reinterpret_cast<__m128d>(m)) != 0; }
};

#ifdef __AVX__
template <>
struct SvdLaneTypes<4> {
    typedef double Vector __attribute__((vector_size(32)));
    typedef long Mask __attribute__((vector_size(32)));
    static Vector root(Vector x) { return _mm256_sqrt_pd(x); }
    static bool any(Mask m) { return _mm256_movemask_pd(reinterpret_cast<__m256d>(m)) != 0; }
};
#endif

#ifdef __AVX512F__
template <>
struct SvdLaneTypes<8> {
    typedef double Vector __attribute__((vector_size(64)));
    typedef long Mask __attribute__((vector_size(64)));
    static Vector root(Vector x) { return _mm512_sqrt_pd(x); }
    static bool any(Mask m) {
        const __m512i bits = reinterpret_cast<__m512i>(m);
        return _mm512_test_epi64_mask(bits, bits) != 0;
    }
};
#endif

template <int L, int N>
class SvdLanes {
   public:
    using Types = SvdLaneTypes<L>;
    using Vector = typename Types::Vector;
    using Mask = typename Types::Mask;

    // Loads the leading N x N block of L matrices, lane l from matrices[l].
    void load(const SystemMatrix* const* matrices) {
        for (int r = 0; r < N; ++r)
            for (int c = 0; c < N; ++c)
                for (int l = 0; l < L; ++l) a_[r * N + c][l] = (*matrices[l])[r * 10 + c];
    }

    // decomposeSvd in every lane. converged() then tells which lanes got through.
    void decompose() {
        for (Vector& e : v_) e = splat(0.0);
        bidiagonalise();
        accumulate_right();
        accumulate_left();
        diagonalise();
    }

    Mask converged() const { return ~failed_; }

    // Lanes with a NaN anywhere in U, w or V.
    Mask nan_in_results() const {
        Mask nan{};
        for (int k = 0; k < N * N; ++k) nan |= (a_[k] != a_[k]) | (v_[k] != v_[k]);
        for (int i = 0; i < N; ++i) nan |= w_[i] != w_[i];
        return nan;
    }

    // The threshold, the cut and the back-substitution of solveMoorePenrose, after
    // decompose(); b holds the right-hand sides.
    void solve(const Vector* b, double threshold, Vector* x) const {
        Vector t = splat(threshold);
        // The factor is a constant; the compiler's square root is correctly rounded too.
        if (threshold < 0.0) t = splat(0.5 * __builtin_sqrt(2.0 * N + 1.0)) * w_[0] * splat(1e-128);
        Vector kept[N];
        for (int i = 0; i < N; ++i) kept[i] = w_[i] >= t ? w_[i] : splat(0.0);
        Vector tmp[N];
        for (int j = 0; j < N; ++j) {
            Vector s = splat(0.0);
            for (int i = 0; i < N; ++i) s += u(i, j) * b[i];
            const Mask differs = (kept[j] < 0.0) | (kept[j] > 0.0);
            tmp[j] = differs ? s / kept[j] : splat(0.0);
        }
        for (int j = 0; j < N; ++j) {
            Vector s = splat(0.0);
            for (int k = 0; k < N; ++k) s += vm(j, k) * tmp[k];
            x[j] = s;
        }
    }

    Vector u(int r, int c) const { return a_[r * N + c]; }
    Vector vm(int r, int c) const { return v_[r * N + c]; }
    Vector w(int i) const { return w_[i]; }

    static Vector splat(double value) {
        Vector out;
        for (int l = 0; l < L; ++l) out[l] = value;
        return out;
    }

    static bool any(Mask m) { return Types::any(m); }

    // negligible_in_doubles lane by lane.
    static Mask negligible(Vector x, Vector anorm) {
        const Vector binade = reinterpret_cast<Vector>(reinterpret_cast<Mask>(anorm) &
                                                       static_cast<long>(NEGLIGIBLE_EXPONENT_BITS));
        return (abs(x) * NEGLIGIBLE_SHIFT <= binade) & (anorm == anorm);
    }

   private:
    Vector& at(int r, int c) { return a_[r * N + c]; }
    Vector& vat(int r, int c) { return v_[r * N + c]; }

    static Vector abs(Vector x) {
        return reinterpret_cast<Vector>(reinterpret_cast<Mask>(x) &
                                        static_cast<long>(NEGLIGIBLE_MAGNITUDE_BITS));
    }

    static Vector sign_of(Vector a, Vector b) { return b >= 0.0 ? abs(a) : -abs(a); }

    // hypotenuse: both of its orders are one formula with the larger and the smaller
    // operand swapped; the zero case is chosen last.
    static Vector hypotenuse(Vector a, Vector b) {
        const Vector abs_a = abs(a);
        const Vector abs_b = abs(b);
        const Mask a_larger = abs_a > abs_b;
        const Vector larger = a_larger ? abs_a : abs_b;
        const Vector smaller = a_larger ? abs_b : abs_a;
        const Vector ratio = smaller / larger;
        const Vector h = larger * Types::root(1.0 + ratio * ratio);
        return (~a_larger & (abs_b == 0.0)) ? splat(0.0) : h;
    }

    Mask negligible(Vector x) const { return negligible(x, anorm_); }

    // rotateColumns of the scalar code in the lanes of `active`.
    static void rotate(Vector* m, int p, int q, Vector c, Vector s, Mask active) {
        for (int r = 0; r < N; ++r) {
            const Vector y = m[r * N + p];
            const Vector z = m[r * N + q];
            m[r * N + p] = active ? y * c + z * s : y;
            m[r * N + q] = active ? z * c - y * s : z;
        }
    }

    void bidiagonalise() {
        Vector g = splat(0.0), scale = splat(0.0);
        anorm_ = splat(0.0);
        for (int i = 0; i < N; ++i) {
            const int l = i + 1;
            rv1_[i] = scale * g;
            g = splat(0.0);
            Vector s = splat(0.0);
            scale = splat(0.0);
            for (int k = i; k < N; ++k) scale += abs(at(k, i));
            Mask take = scale != 0.0;
            {
                Vector col[N];
                for (int k = i; k < N; ++k) {
                    col[k] = at(k, i) / scale;
                    s += col[k] * col[k];
                }
                const Vector f = col[i];
                const Vector gt = -sign_of(Types::root(s), f);
                const Vector h = f * gt - s;
                col[i] = f - gt;
                for (int j = l; j < N; ++j) {
                    Vector dot = splat(0.0);
                    for (int k = i; k < N; ++k) dot += col[k] * at(k, j);
                    const Vector fj = dot / h;
                    for (int k = i; k < N; ++k) at(k, j) = take ? at(k, j) + fj * col[k] : at(k, j);
                }
                for (int k = i; k < N; ++k) at(k, i) = take ? col[k] * scale : at(k, i);
                g = take ? gt : splat(0.0);
            }
            w_[i] = scale * g;
            g = splat(0.0);
            s = splat(0.0);
            scale = splat(0.0);
            if (i != N - 1) {
                for (int k = l; k < N; ++k) scale += abs(at(i, k));
                take = scale != 0.0;
                Vector row[N];
                for (int k = l; k < N; ++k) {
                    row[k] = at(i, k) / scale;
                    s += row[k] * row[k];
                }
                const Vector f = row[l];
                const Vector gt = -sign_of(Types::root(s), f);
                const Vector h = f * gt - s;
                row[l] = f - gt;
                Vector scratch[N];
                for (int k = l; k < N; ++k) {
                    scratch[k] = row[k] / h;
                    rv1_[k] = take ? scratch[k] : rv1_[k];
                }
                for (int j = l; j < N; ++j) {
                    Vector dot = splat(0.0);
                    for (int k = l; k < N; ++k) dot += at(j, k) * row[k];
                    for (int k = l; k < N; ++k)
                        at(j, k) = take ? at(j, k) + dot * scratch[k] : at(j, k);
                }
                for (int k = l; k < N; ++k) at(i, k) = take ? row[k] * scale : at(i, k);
                g = take ? gt : splat(0.0);
            }
            const Vector size = abs(w_[i]) + abs(rv1_[i]);
            anorm_ = anorm_ > size ? anorm_ : size;
        }
    }

    void accumulate_right() {
        Vector g = splat(0.0);
        int l = N;
        for (int i = N - 1; i >= 0; --i) {
            if (i < N - 1) {
                const Mask take = g != 0.0;
                for (int j = l; j < N; ++j)
                    vat(j, i) = take ? (at(i, j) / at(i, l)) / g : vat(j, i);
                for (int j = l; j < N; ++j) {
                    Vector s = splat(0.0);
                    for (int k = l; k < N; ++k) s += at(i, k) * vat(k, j);
                    for (int k = l; k < N; ++k)
                        vat(k, j) = take ? vat(k, j) + s * vat(k, i) : vat(k, j);
                }
                for (int j = l; j < N; ++j) {
                    vat(i, j) = splat(0.0);
                    vat(j, i) = splat(0.0);
                }
            }
            vat(i, i) = splat(1.0);
            g = rv1_[i];
            l = i;
        }
    }

    void accumulate_left() {
        for (int i = N - 1; i >= 0; --i) {
            const int l = i + 1;
            const Vector g = w_[i];
            for (int j = l; j < N; ++j) at(i, j) = splat(0.0);
            const Mask take = g != 0.0;
            const Vector inverse = 1.0 / g;
            for (int j = l; j < N; ++j) {
                Vector s = splat(0.0);
                for (int k = l; k < N; ++k) s += at(k, i) * at(k, j);
                const Vector f = (s / at(i, i)) * inverse;
                for (int k = i; k < N; ++k) at(k, j) = take ? at(k, j) + f * at(k, i) : at(k, j);
            }
            for (int j = i; j < N; ++j) at(j, i) = take ? at(j, i) * inverse : splat(0.0);
            at(i, i) += 1.0;
        }
    }

    void diagonalise() {
        failed_ = Mask{};
        for (int k = N - 1; k >= 0; --k) {
            Mask pending = ~failed_;
            for (int its = 0;; ++its) {
                // Splitting: starts[c] holds the pending lanes whose block starts at c.
                Mask starts[N];
                Mask cancel{}, decided{};
                for (int c = k; c > 0; --c) {
                    const Mask small_rv1 = negligible(rv1_[c]);
                    const Mask small_w = negligible(w_[c - 1]);
                    const Mask stop = ~decided & (small_rv1 | small_w);
                    cancel |= stop & ~small_rv1;
                    starts[c] = stop & pending;
                    decided |= stop;
                }
                starts[0] = ~decided & pending;
                cancel &= pending;
                if (any(cancel)) cancel_superdiagonal(k, cancel, starts);

                const Vector z = w_[k];
                const Mask split = starts[k];
                const Mask flip = split & (z < 0.0);
                if (any(flip)) {
                    w_[k] = flip ? -z : z;
                    for (int j = 0; j < N; ++j) vat(j, k) = flip ? -vat(j, k) : vat(j, k);
                }
                pending &= ~split;
                if (!any(pending)) break;
                if (its == 29) {
                    failed_ |= pending;
                    break;
                }
                sweep(k, z, pending, starts);
            }
        }
    }

    // Cancellation of rv1[l] for the lanes of `cancel`, one start l at a time: the
    // rotations of a start act on columns l - 1 and i of U.
    void cancel_superdiagonal(int k, Mask cancel, const Mask* starts) {
        for (int first = 1; first <= k; ++first) {
            Mask going = cancel & starts[first];
            if (!any(going)) continue;
            const int nm = first - 1;
            Vector c = splat(0.0), s = splat(1.0);
            for (int i = first; i <= k; ++i) {
                const Vector f = s * rv1_[i];
                rv1_[i] = going ? c * rv1_[i] : rv1_[i];
                going &= ~negligible(f);
                if (!any(going)) break;
                const Vector g = w_[i];
                Vector h = hypotenuse(f, g);
                w_[i] = going ? h : w_[i];
                h = 1.0 / h;
                c = g * h;
                s = -f * h;
                rotate(a_, nm, i, c, s, going);
            }
        }
    }

    // The shift and one QR sweep for the lanes of `pending`, each from its own start.
    void sweep(int k, Vector z, Mask pending, const Mask* starts) {
        Vector x = w_[0];
        for (int c = 1; c < k; ++c) x = starts[c] ? w_[c] : x;
        const int nm = k - 1;
        Vector y = w_[nm];
        Vector g = rv1_[nm];
        Vector h = rv1_[k];
        Vector f = ((y - z) * (y + z) + (g - h) * (g + h)) / (2.0 * h * y);
        g = hypotenuse(f, splat(1.0));
        f = ((x - z) * (x + z) + h * ((y / (f + sign_of(g, f))) - h)) / x;
        Vector c = splat(1.0), s = splat(1.0);
        Mask active{};
        for (int j = 0; j <= nm; ++j) {
            active |= starts[j];
            if (!any(active)) continue;
            const int i = j + 1;
            g = rv1_[i];
            y = w_[i];
            h = s * g;
            g = c * g;
            Vector zz = hypotenuse(f, h);
            rv1_[j] = active ? zz : rv1_[j];
            Vector cj = f / zz;
            Vector sj = h / zz;
            Vector fj = x * cj + g * sj;
            g = g * cj - x * sj;
            h = y * sj;
            y *= cj;
            rotate(v_, j, i, cj, sj, active);
            zz = hypotenuse(fj, h);
            w_[j] = active ? zz : w_[j];
            const Mask nonzero = zz != 0.0;
            const Vector inverse = 1.0 / zz;
            cj = nonzero ? fj * inverse : cj;
            sj = nonzero ? h * inverse : sj;
            fj = cj * g + sj * y;
            const Vector xj = cj * y - sj * g;
            rotate(a_, j, i, cj, sj, active);
            c = active ? cj : c;
            s = active ? sj : s;
            f = active ? fj : f;
            x = active ? xj : x;
        }
        for (int c0 = 0; c0 < k; ++c0) rv1_[c0] = starts[c0] ? splat(0.0) : rv1_[c0];
        rv1_[k] = pending ? f : rv1_[k];
        w_[k] = pending ? x : w_[k];
    }

    Vector a_[N * N];  // the matrix, then U
    Vector v_[N * N];
    Vector w_[N];
    Vector rv1_[N];
    Vector anorm_;
    Mask failed_{};  // lanes that did not converge, held where they stopped
};

// The systems in groups of L; the last group's missing lanes repeat its last system.
template <int L>
struct SvdLaneRuns {
    template <int N>
    static void decompose(SvdLaneSystem* systems, std::size_t count) {
        for (std::size_t first = 0; first < count; first += L) {
            const SystemMatrix* matrices[L];
            for (int l = 0; l < L; ++l) matrices[l] = systems[lane_system(first, l, count)].a;
            SvdLanes<L, N> lanes;
            lanes.load(matrices);
            lanes.decompose();
            const auto converged = lanes.converged();
            const auto nan = lanes.nan_in_results();
            for (int l = 0; l < L && first + l < count; ++l) {
                SvdLaneSystem& out = systems[first + l];
                out.converged = converged[l] != 0;
                out.needs_scalar = nan[l] != 0;
                if (out.needs_scalar) continue;
                for (int r = 0; r < N; ++r)
                    for (int c = 0; c < N; ++c) {
                        (*out.a)[r * 10 + c] = lanes.u(r, c)[l];
                        (*out.v)[r * 10 + c] = lanes.vm(r, c)[l];
                    }
                for (int i = 0; i < N; ++i) (*out.w)[i] = lanes.w(i)[l];
            }
        }
    }

    template <int N>
    static void solve(MoorePenroseLaneSystem* systems, std::size_t count, double threshold) {
        using Lanes = SvdLanes<L, N>;
        for (std::size_t first = 0; first < count; first += L) {
            const SystemMatrix* matrices[L];
            typename Lanes::Vector b[N];
            for (int l = 0; l < L; ++l) {
                const MoorePenroseLaneSystem& in = systems[lane_system(first, l, count)];
                matrices[l] = in.matrix;
                for (int i = 0; i < N; ++i) b[i][l] = (*in.rhs)[i];
            }
            Lanes lanes;
            lanes.load(matrices);
            lanes.decompose();
            typename Lanes::Vector x[N];
            lanes.solve(b, threshold, x);
            const auto converged = lanes.converged();
            typename Lanes::Mask nan{};
            for (int i = 0; i < N; ++i) nan |= x[i] != x[i];
            for (int l = 0; l < L && first + l < count; ++l) {
                MoorePenroseLaneSystem& out = systems[first + l];
                out.converged = converged[l] != 0;
                out.needs_scalar = out.converged && nan[l] != 0;
                if (out.needs_scalar) continue;
                if (!out.converged) {
                    (*out.rhs)[0] = SOLVER_FAILED;
                    continue;
                }
                for (int i = 0; i < N; ++i) (*out.rhs)[i] = x[i][l];
            }
        }
    }

    static void decompose_any(SvdLaneSystem* systems, std::size_t count, int n) {
        if (n == 4) decompose<4>(systems, count);
        if (n == 6) decompose<6>(systems, count);
    }

    static void solve_any(MoorePenroseLaneSystem* systems, std::size_t count, int n,
                          double threshold) {
        if (n == 4) solve<4>(systems, count, threshold);
        if (n == 6) solve<6>(systems, count, threshold);
    }

    static void negligible(const double* x, const double* anorm, bool* out, std::size_t count) {
        using Lanes = SvdLanes<L, 1>;
        for (std::size_t first = 0; first < count; first += L) {
            typename Lanes::Vector xs, norms;
            for (int l = 0; l < L; ++l) {
                xs[l] = x[lane_system(first, l, count)];
                norms[l] = anorm[lane_system(first, l, count)];
            }
            const auto small = Lanes::negligible(xs, norms);
            for (int l = 0; l < L && first + l < count; ++l) out[first + l] = small[l] != 0;
        }
    }

    static std::size_t lane_system(std::size_t first, int lane, std::size_t count) {
        const std::size_t k = first + static_cast<std::size_t>(lane);
        return k < count ? k : count - 1;
    }
};

}  // namespace
