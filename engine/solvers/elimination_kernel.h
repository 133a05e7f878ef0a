#pragma once
// Gauss-Jordan elimination without pivoting: the one kernel behind solveGaussJordan (a
// right-hand side vector), invertWithoutPivoting (the identity as right-hand side, for
// solveRegularised) and RegularisedSolver (that inversion on compact arrays of a size
// fixed at compile time). Sharing it keeps the three alike bit for bit: every entry goes
// through the same divisions and subtractions, with the same operands, whichever caller
// runs it.
//
// Rows are never exchanged. A zero or NaN pivot fails at once, even where the system is
// regular and an exchange would have saved it: the results of runs come from exactly
// this sequence of operations, and a pivot search would change their bits.

#include <cmath>

// Row-major rows: row r starts at data + r * stride and holds `columns` entries. Index is
// int, or std::integral_constant<int, N> when the shape is fixed at compile time so that
// the loops can be unrolled (unrolling never reorders an entry's own operations).
template <class Index>
struct EliminatedRows {
    double* data;
    Index stride;
    Index columns;
};

// Reduces the leading n x n block of matrix (row stride matrix_stride) to the identity
// and applies every row operation to the n rows of rhs too, which then hold
// matrix^-1 * rhs. For each pivot row i: the matrix row, then the rhs row, divided by the
// pivot; then every other row j, matrix part then rhs part, less f times row i, where f
// is row j's entry in column i before the step. False at a zero or NaN pivot, with both
// blocks left as far as the elimination got.
template <class Index>
bool eliminateWithoutPivoting(double* matrix, Index matrix_stride, EliminatedRows<Index> rhs,
                              Index n) {
    for (int i = 0; i < n; ++i) {
        double* const pivot_row = matrix + i * matrix_stride;
        double* const pivot_rhs = rhs.data + i * rhs.stride;
        const double p = pivot_row[i];
        // Written so that a NaN pivot fails as a zero one does (NaN != 0.0 would be true).
        if (!(std::fabs(p) > 0.0)) return false;
        for (int k = 0; k < n; ++k) pivot_row[k] = pivot_row[k] / p;
        for (int k = 0; k < rhs.columns; ++k) pivot_rhs[k] = pivot_rhs[k] / p;
        for (int j = 0; j < n; ++j) {
            if (j == i) continue;
            double* const row = matrix + j * matrix_stride;
            double* const row_rhs = rhs.data + j * rhs.stride;
            const double f = row[i];
            for (int k = 0; k < n; ++k) row[k] = row[k] - f * pivot_row[k];
            for (int k = 0; k < rhs.columns; ++k) row_rhs[k] = row_rhs[k] - f * pivot_rhs[k];
        }
    }
    return true;
}
