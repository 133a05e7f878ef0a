#pragma once
#include "engine/engine.h"

// Gauss-Jordan elimination without pivoting on the leading n x n block. False (and
// SOLVER_FAILED in rhs[0]) at a zero or NaN pivot.
bool solveGaussJordan(SystemMatrix& matrix, SystemVector& rhs, int n);
