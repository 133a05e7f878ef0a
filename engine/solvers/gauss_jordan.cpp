#include "engine/solvers/gauss_jordan.h"

#include <cmath>

#include "engine/solvers/matrix_ops.h"

// Rows are never exchanged: a vanishing leading minor fails even for a regular system,
// and the results of a run rely on exactly this order of operations.
bool solveGaussJordan(SystemMatrix& matrix, SystemVector& rhs, int n) {
    for (int i = 0; i < n; ++i) {
        const double p = entry(matrix, i, i);
        // Written so that a NaN pivot fails as a zero one does (NaN != 0.0 would be true).
        if (!(std::fabs(p) > 0.0)) {
            rhs[0] = SOLVER_FAILED;
            return false;
        }
        for (int k = 0; k < n; ++k) entry(matrix, i, k) = entry(matrix, i, k) / p;
        rhs[i] = rhs[i] / p;
        for (int j = 0; j < n; ++j) {
            if (j == i) continue;
            const double f = entry(matrix, j, i);
            for (int k = 0; k < n; ++k)
                entry(matrix, j, k) = entry(matrix, j, k) - f * entry(matrix, i, k);
            rhs[j] = rhs[j] - f * rhs[i];
        }
    }
    return true;
}
