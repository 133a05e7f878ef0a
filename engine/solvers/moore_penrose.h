#pragma once
#include "engine/engine.h"
#include "engine/solvers/solver_notes.h"

void backSubstituteSvd(const SystemMatrix& u, const SystemVector& w, const SystemMatrix& v,
                       const SystemVector& b, SystemVector& x, int n);

// Thresholded SVD solution; threshold < 0: computed. False (SOLVER_FAILED in rhs[0])
// when the decomposition does not converge.
bool solveMoorePenrose(SystemMatrix& matrix, SystemVector& rhs, int n, double threshold,
                       SolverNotes& notes);
