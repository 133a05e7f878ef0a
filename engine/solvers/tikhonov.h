#pragma once
#include <vector>

#include "engine/engine.h"
#include "engine/solvers/solver_notes.h"

bool invertWithoutPivoting(SystemMatrix& m, SystemMatrix& inverse, int n);
bool solveRegularised(const SystemMatrix& a, const SystemVector& b, double alpha, int n,
                      SystemVector& x);
double chooseAlphaByLCurve(const std::vector<double>& X, const std::vector<double>& Y,
                           double point_number, bool traced, const RunSettings& settings,
                           SolverNotes& notes);

// Regularised solution with alpha = settings.sv_threshold, or chosen by the L-curve when
// that is negative. 1, or 0 with SOLVER_FAILED in rhs[0]. The matrix is left unchanged.
int solveTikhonov(const SystemMatrix& matrix, SystemVector& rhs, int n, double point_number,
                  bool traced, const RunSettings& settings, SolverNotes& notes);
