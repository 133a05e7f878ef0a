#include "engine/solvers/gauss_jordan.h"

#include "engine/solvers/elimination_kernel.h"
#include "engine/solvers/matrix_ops.h"

// Rows are never exchanged: a vanishing leading minor fails even for a regular system,
// and the results of a run rely on exactly this order of operations.
bool solveGaussJordan(SystemMatrix& matrix, SystemVector& rhs, int n) {
    // The right-hand side as n rows of one entry each.
    if (!eliminateWithoutPivoting(matrix, MATRIX_STRIDE, EliminatedRows<int>{rhs, 1, 1}, n)) {
        rhs[0] = SOLVER_FAILED;
        return false;
    }
    return true;
}
