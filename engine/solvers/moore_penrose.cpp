#include "engine/solvers/moore_penrose.h"

#include <cmath>

#include "engine/solvers/matrix_ops.h"
#include "engine/solvers/solver_notes.h"
#include "engine/solvers/svd_decomposition.h"

namespace {

// True unless value is zero or NaN.
bool differsFromZero(double value) { return value < 0.0 || value > 0.0; }

}  // namespace

void backSubstituteSvd(const SystemMatrix& u, const SystemVector& w, const SystemMatrix& v,
                       const SystemVector& b, SystemVector& x, int n) {
    SystemVector tmp = {};
    for (int j = 0; j < n; ++j) {
        double s = 0.0;
        if (differsFromZero(w[j])) {
            for (int i = 0; i < n; ++i) s += entry(u, i, j) * b[i];
            s /= w[j];
        }
        tmp[j] = s;
    }
    for (int j = 0; j < n; ++j) {
        double s = 0.0;
        for (int k = 0; k < n; ++k) s += entry(v, j, k) * tmp[k];
        x[j] = s;
    }
}

bool solveMoorePenrose(SystemMatrix& matrix, SystemVector& rhs, int n, double threshold,
                       SolverNotes& notes) {
    SystemVector w = {};
    SystemMatrix v = {};
    SystemVector x = {};
    if (!decomposeSvd(matrix, w, v, n, notes)) {
        rhs[0] = SOLVER_FAILED;
        return false;
    }
    // The computed threshold scales the first singular value as the decomposition leaves
    // it (not the largest) by 1e-128, so it removes only values that are zero or
    // vanishingly small. Stored results rely on exactly this rule.
    double t = threshold;
    if (threshold < 0.0) t = 0.5 * std::sqrt(2.0 * n + 1.0) * w[0] * 1e-128;
    for (int i = 0; i < n; ++i)
        if (!(w[i] >= t)) w[i] = 0.0;
    backSubstituteSvd(matrix, w, v, rhs, x, n);
    for (int i = 0; i < n; ++i) rhs[i] = x[i];
    return true;
}
