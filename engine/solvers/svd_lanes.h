#pragma once
// The singular value decomposition and the Moore-Penrose solution of several systems at
// once, one system per vector lane. Each lane takes every branch the scalar code takes
// for its system (a per-lane mask in place of each if), runs its own number of QR sweeps
// and stops where the scalar code stops, so each system gets the bits of decomposeSvd and
// solveMoorePenrose. Lanes past the last system repeat it; their results are dropped.

#include <cstddef>

#include "engine/engine.h"

// Where two NaNs meet in an operation, x86 passes on the first operand's sign and
// payload, and the compiler orders the operands of a commutative operation as suits its
// registers, in the scalar code and in the lanes alike. NaNs never decide a branch by their
// sign, so every value that is not a NaN has the scalar bits; a system whose results hold
// a NaN is left untouched and marked needs_scalar, for the scalar code to give it its own
// NaNs. Only systems with infinite or nearly overflowing entries get there (in a fit,
// survey values beyond about 1e154).

// One system of the decomposition: U is written over *a, and w and v as decomposeSvd
// writes them (the leading n x n block and n entries only). converged is what
// decomposeSvd returns; a system that did not converge holds what it had reached.
struct SvdLaneSystem {
    SystemMatrix* a = nullptr;
    SystemVector* w = nullptr;
    SystemMatrix* v = nullptr;
    bool converged = false;
    bool needs_scalar = false;
};

// One system of the Moore-Penrose solution. *matrix is only read; *rhs receives the
// solution, or SOLVER_FAILED in entry 0 (the rest untouched) when converged is false.
struct MoorePenroseLaneSystem {
    const SystemMatrix* matrix = nullptr;
    SystemVector* rhs = nullptr;
    bool converged = false;
    bool needs_scalar = false;
};

// The sizes the lane forms are built for.
constexpr bool svd_lanes_take(int n) { return n == 4 || n == 6; }

// One form per instruction set, each in a file compiled for that set alone: 2, 4 and 8
// lanes. n must satisfy svd_lanes_take.
void decompose_svd_sse2(SvdLaneSystem* systems, std::size_t count, int n);
void decompose_svd_avx2(SvdLaneSystem* systems, std::size_t count, int n);
void decompose_svd_avx512(SvdLaneSystem* systems, std::size_t count, int n);
void solve_moore_penrose_sse2(MoorePenroseLaneSystem* systems, std::size_t count, int n,
                              double threshold);
void solve_moore_penrose_avx2(MoorePenroseLaneSystem* systems, std::size_t count, int n,
                              double threshold);
void solve_moore_penrose_avx512(MoorePenroseLaneSystem* systems, std::size_t count, int n,
                                double threshold);

// The negligibility test of the decomposition, lane by lane: out[k] for x[k] beside
// anorm[k] (see negligible_sum.h).
void negligible_sse2(const double* x, const double* anorm, bool* out, std::size_t count);
void negligible_avx2(const double* x, const double* anorm, bool* out, std::size_t count);
void negligible_avx512(const double* x, const double* anorm, bool* out, std::size_t count);
