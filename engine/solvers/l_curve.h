#pragma once
// The L-curve choice of the Tikhonov parameter: the alpha sequence and the corner rule.

#include <cstddef>
#include <vector>

#include "engine/engine.h"
#include "engine/solvers/solver_notes.h"

// Longest alpha sequence tried for one point: more would keep one point busy for
// minutes, so check_run_limits refuses settings that give more. The defaults (1e-10 to
// 1e10, quotient 2) give 67.
inline constexpr std::size_t MAX_REGULARISATION_ALPHAS = 100000;

// min_alpha, min_alpha * q, ... by repeated multiplication while alpha <= max_alpha.
// Empty unless min_alpha > 0 and q > 1 (such a sequence would never end); cut after
// MAX_REGULARISATION_ALPHAS entries.
std::vector<double> regularisationAlphas(const RunSettings& settings);

// The alpha at the corner of the curve (X[j], Y[j]) whose point j was solved with
// alphas[j]; 0 for an empty curve. Writes the table and the chosen alpha into
// notes.trace when traced.
double chooseAlphaByLCurve(const std::vector<double>& X, const std::vector<double>& Y,
                           const std::vector<double>& alphas, double point_number, bool traced,
                           const RunSettings& settings, SolverNotes& notes);
