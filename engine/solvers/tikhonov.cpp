#include "tikhonov.h"

#include <cmath>

#include "l_curve.h"
#include "matrix_ops.h"

// The same elimination as solveGaussJordan, with a matrix in place of the right-hand
// side: no row is exchanged, and a zero or NaN pivot fails at once.
bool invertWithoutPivoting(SystemMatrix& m, SystemMatrix& inverse, int n) {
    setIdentity(inverse, n);
    for (int i = 0; i < n; ++i) {
        const double p = entry(m, i, i);
        if (!(std::fabs(p) > 0.0)) return false;
        for (int k = 0; k < n; ++k) {
            entry(m, i, k) = entry(m, i, k) / p;
            entry(inverse, i, k) = entry(inverse, i, k) / p;
        }
        for (int j = 0; j < n; ++j) {
            if (j == i) continue;
            const double f = entry(m, j, i);
            for (int k = 0; k < n; ++k) {
                entry(m, j, k) = entry(m, j, k) - f * entry(m, i, k);
                entry(inverse, j, k) = entry(inverse, j, k) - f * entry(inverse, i, k);
            }
        }
    }
    return true;
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
double alphaFromLCurve(const SystemMatrix& a, const SystemVector& b, int n,
                       double point_number, bool traced, const RunSettings& settings,
                       SolverNotes& notes) {
    std::vector<double> X, Y, solved_alphas;
    for (double alpha : regularisationAlphas(settings)) {
        SystemVector x = {}, fitted = {}, residual = {};
        if (!solveRegularised(a, b, alpha, n, x)) continue;
        multiplyMatrixVector(a, x, fitted, n);
        subtractVectors(fitted, b, residual, n);
        X.push_back(std::log10(euclideanNorm(residual, n)));
        Y.push_back(std::log10(euclideanNorm(x, n)));
        solved_alphas.push_back(alpha);
    }
    return chooseAlphaByLCurve(X, Y, solved_alphas, point_number, traced, settings, notes);
}

}  // namespace

int solveTikhonov(const SystemMatrix& matrix, SystemVector& rhs, int n, double point_number,
                  bool traced, const RunSettings& settings, SolverNotes& notes) {
    SystemVector b = {};
    for (int i = 0; i < n; ++i) b[i] = rhs[i];
    double alpha = settings.sv_threshold;
    if (alpha < 0.0) alpha = alphaFromLCurve(matrix, b, n, point_number, traced, settings, notes);
    SystemVector x = {};
    if (!solveRegularised(matrix, b, alpha, n, x)) {
        rhs[0] = SOLVER_FAILED;
        return 0;
    }
    for (int i = 0; i < n; ++i) rhs[i] = x[i];
    return 1;
}
