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
// the lines of a traced point go to notes.trace.
double alphaFromLCurve(const RegularisedSolver& solver, const SystemVector& b,
                       double point_number, bool traced, const RunSettings& settings,
                       SolverNotes& notes) {
    thread_local std::vector<double> X, Y, solved_alphas;
    X.clear();
    Y.clear();
    solved_alphas.clear();
    for (double alpha : regularisationAlphas(settings)) {
        SystemVector x = {};
        if (!solver.solve(b, alpha, x)) continue;
        double residual_norm = 0.0, solution_norm = 0.0;
        solver.norms(b, x, residual_norm, solution_norm);
        X.push_back(std::log10(residual_norm));
        Y.push_back(std::log10(solution_norm));
        solved_alphas.push_back(alpha);
    }
    return chooseAlphaByLCurve(X, Y, solved_alphas, point_number, traced, settings, notes);
}

}  // namespace

int solveTikhonov(const SystemMatrix& matrix, SystemVector& rhs, int n, double point_number,
                  bool traced, const RunSettings& settings, SolverNotes& notes) {
    SystemVector b = {};
    for (int i = 0; i < n; ++i) b[i] = rhs[i];
    // A^T and A^T A are formed once for the whole alpha sequence and the final solve.
    const RegularisedSolver solver(matrix, n);
    double alpha = settings.sv_threshold;
    if (alpha < 0.0) alpha = alphaFromLCurve(solver, b, point_number, traced, settings, notes);
    SystemVector x = {};
    if (!solver.solve(b, alpha, x)) {
        rhs[0] = SOLVER_FAILED;
        return 0;
    }
    for (int i = 0; i < n; ++i) rhs[i] = x[i];
    return 1;
}
