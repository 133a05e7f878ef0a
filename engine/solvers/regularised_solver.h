#pragma once
// The regularised solutions of one system for many alphas: A^T and A^T A do not depend
// on alpha, so they are formed once, and every alpha repeats only the rest, with the
// same operations in the same order as solveRegularised. The size is fixed at compile
// time so that the compiler can unroll and vectorise the loops (element-wise, never
// reassociating a sum).

#include <cstddef>

#include "engine/engine.h"
#include "engine/simd/instruction_set.h"
#include "engine/solvers/regularised_lanes.h"

class RegularisedSolver {
public:
    // Forms A^T and A^T A of the leading n x n block of a (n = 1 to 10).
    RegularisedSolver(const SystemMatrix& a, int n);

    // x = (A^T A + alpha I)^-1 A^T b, bit for bit as solveRegularised gives it; false
    // when the inversion meets a zero or NaN pivot.
    bool solve(const SystemVector& b, double alpha, SystemVector& x) const;
    // The L-curve's two norms for x: ||A x - b|| and ||x||.
    void norms(const SystemVector& b, const SystemVector& x, double& residual_norm,
               double& solution_norm) const;
    // solve() and norms() for each of alphas[0 .. count): out[j].solved, x and the two
    // norms, the same bits on every instruction set (one alpha per vector lane).
    void solve_each(const SystemVector& b, const double* alphas, std::size_t count,
                    AlphaSolution* out, InstructionSet set = active_instruction_set()) const;

private:
    int n_;
    SystemMatrix a_ = {};           // A, compact: row stride n
    SystemMatrix transposed_ = {};  // A^T, compact
    SystemMatrix normal_ = {};      // A^T A, compact
};
