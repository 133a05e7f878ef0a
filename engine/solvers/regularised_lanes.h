#pragma once
// The regularised solutions of one system for a run of alphas computed side by side,
// one alpha per vector lane. Every alpha goes through the same operations as
// RegularisedSolver::solve and norms (the inversion without pivoting has no choice that
// depends on the data), so each lane gives the scalar bits; a lane whose pivot is zero
// or NaN goes on with meaningless numbers and is marked unsolved.

#include <cstddef>

#include "engine/engine.h"

// A^T A, A^T and A of one system, compact (row stride n).
struct RegularisedSystem {
    int n = 0;
    const double* normal = nullptr;
    const double* transposed = nullptr;
    const double* a = nullptr;
};

// What the L-curve needs of one alpha.
struct AlphaSolution {
    bool solved = false;
    SystemVector x = {};
    double residual_norm = 0.0;  // ||A x - b||
    double solution_norm = 0.0;  // ||x||
};

// One form per instruction set, each in a file compiled for that set alone: 2, 4 and 8
// lanes. out[j] receives alpha j's solution, for j < count.
void solve_alphas_sse2(const RegularisedSystem& system, const double* b, const double* alphas,
                       std::size_t count, AlphaSolution* out);
void solve_alphas_avx2(const RegularisedSystem& system, const double* b, const double* alphas,
                       std::size_t count, AlphaSolution* out);
void solve_alphas_avx512(const RegularisedSystem& system, const double* b,
                         const double* alphas, std::size_t count, AlphaSolution* out);
