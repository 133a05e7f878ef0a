#pragma once
// decomposeSvd and solveMoorePenrose for several systems at once, in the vector lanes of
// an instruction set (engine/solvers/svd_lanes.h) where its size has a lane form, one
// system after another otherwise. Either way each system gets the scalar bits.

#include <span>

#include "engine/simd/instruction_set.h"
#include "engine/solvers/solver_notes.h"
#include "engine/solvers/svd_lanes.h"

// decomposeSvd of each system; converged as it returns. No notes.
void decomposeSvdSideBySide(std::span<SvdLaneSystem> systems, int n,
                            InstructionSet set = active_instruction_set());

// solveMoorePenrose of each system with the same threshold setting. notes[k] receives what
// system k's solve has to say (the non-convergence message).
void solveMoorePenroseSideBySide(std::span<MoorePenroseLaneSystem> systems, int n, double threshold,
                                 std::span<SolverNotes* const> notes,
                                 InstructionSet set = active_instruction_set());

// Whether systems of n unknowns are solved in lanes with this set.
bool solvesSideBySide(int n, InstructionSet set = active_instruction_set());
