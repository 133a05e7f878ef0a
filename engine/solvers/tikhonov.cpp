#include "engine/solvers/tikhonov.h"

#include <cmath>

#include "engine/solvers/elimination_kernel.h"
#include "engine/solvers/l_curve.h"
#include "engine/solvers/matrix_ops.h"
#include "engine/solvers/regularised_solver.h"
#include "engine/solvers/solver_notes.h"

// The same elimination as solveGaussJordan, with a matrix in place of the right-hand
// side: no row is exchanged, and a zero or NaN pivot fails at once.
bool invertWithoutPivoting(SystemMatrix& m, SystemMatrix& inverse, int n) {
    setIdentity(inverse, n);
    return eliminateWithoutPivoting(m, MATRIX_STRIDE,
                                    EliminatedRows<int>{inverse, MATRIX_STRIDE, n}, n);
}

bool solveRegularised(const SystemMatrix& a, const SystemVector& b, double alpha, int n,
                      SystemVector& x) {
    SystemMatrix identity = {}, scaled = {}, transposed = {}, normal = {}, inverse = {},
                 gain = {};
    setIdentity(identity, n);
    scaleMatrix(identity, alpha, scaled, n);
    transposeMatrix(a, transposed, n);
    multiplyMatrices(transposed, a, normal, n);
    addMatrices(normal, scaled, normal, n);
    if (!invertWithoutPivoting(normal, inverse, n)) return false;
    multiplyMatrices(inverse, transposed, gain, n);
    multiplyMatrixVector(gain, b, x, n);
    return true;
}

namespace {

// Runs the L-curve over the alpha sequence of the settings and returns the chosen alpha;
// the lines of a traced point go to notes.trace. `chosen` receives the chosen alpha's
// solution when the curve solved it (the final solve would repeat the same operations).
double alphaFromLCurve(const RegularisedSolver& solver, const SystemVector& b,
                       double point_number, bool traced, const RunSettings& settings,
                       SolverNotes& notes, const AlphaSolution*& chosen) {
    thread_local std::vector<double> alphas, X, Y, solved_alphas;
    thread_local std::vector<AlphaSolution> solutions, solved;
    alphas = regularisationAlphas(settings);
    solutions.resize(alphas.size());
    solver.solve_each(b, alphas.data(), alphas.size(), solutions.data());
    X.clear();
    Y.clear();
    solved_alphas.clear();
    solved.clear();
    for (std::size_t j = 0; j < alphas.size(); ++j) {
        const AlphaSolution& s = solutions[j];
        if (!s.solved) continue;
        X.push_back(std::log10(s.residual_norm));
        Y.push_back(std::log10(s.solution_norm));
        solved_alphas.push_back(alphas[j]);
        solved.push_back(s);
    }
    const double alpha =
        chooseAlphaByLCurve(X, Y, solved_alphas, point_number, traced, settings, notes);
    chosen = nullptr;
    for (std::size_t j = 0; j < solved_alphas.size() && !chosen; ++j)
        if (solved_alphas[j] == alpha) chosen = &solved[j];
    return alpha;
}

}  // namespace

int solveTikhonov(const SystemMatrix& matrix, SystemVector& rhs, int n, double point_number,
                  bool traced, const RunSettings& settings, SolverNotes& notes) {
    SystemVector b = {};
    for (int i = 0; i < n; ++i) b[i] = rhs[i];
    // A^T and A^T A are formed once for the whole alpha sequence and the final solve.
    const RegularisedSolver solver(matrix, n);
    double alpha = settings.sv_threshold;
    const AlphaSolution* chosen = nullptr;
    if (alpha < 0.0)
        alpha = alphaFromLCurve(solver, b, point_number, traced, settings, notes, chosen);
    SystemVector x = {};
    if (chosen) {
        for (int i = 0; i < 10; ++i) x[i] = chosen->x[i];
    } else if (!solver.solve(b, alpha, x)) {
        rhs[0] = SOLVER_FAILED;
        return 0;
    }
    for (int i = 0; i < n; ++i) rhs[i] = x[i];
    return 1;
}
