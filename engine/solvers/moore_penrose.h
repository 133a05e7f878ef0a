#pragma once
#include "engine/engine.h"
#include "engine/solvers/solver_notes.h"

double hypotenuse(double a, double b);
double signOf(double a, double b);

// a = U diag(w) V^T for the leading n x n block; U over a. False after the
// non-convergence message has been added to notes.
bool decomposeSvd(SystemMatrix& a, SystemVector& w, SystemMatrix& v, int n, SolverNotes& notes);

void backSubstituteSvd(const SystemMatrix& u, const SystemVector& w, const SystemMatrix& v,
                       const SystemVector& b, SystemVector& x, int n);

// Thresholded SVD solution; threshold < 0: computed. False (SOLVER_FAILED in rhs[0])
// when the decomposition does not converge.
bool solveMoorePenrose(SystemMatrix& matrix, SystemVector& rhs, int n, double threshold,
                       SolverNotes& notes);
