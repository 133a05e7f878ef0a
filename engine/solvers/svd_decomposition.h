#pragma once
// The Golub-Reinsch singular value decomposition behind solveMoorePenrose, and the two
// scalar helpers it is built on.

#include "engine/engine.h"
#include "engine/solvers/solver_notes.h"

// sqrt(a^2 + b^2) without overflow or underflow on the way; 0 when both are 0.
double hypotenuse(double a, double b);
// |a| with the sign of b; b = -0.0 counts as positive.
double signOf(double a, double b);

// What decomposeSvd says when a singular value does not split off within its sweeps.
inline constexpr const char* SVD_NO_CONVERGENCE = "no convergence in 30 svdcmp iterations";

// a = U diag(w) V^T for the leading n x n block; U over a. False after the
// non-convergence message has been added to notes.
bool decomposeSvd(SystemMatrix& a, SystemVector& w, SystemMatrix& v, int n, SolverNotes& notes);
