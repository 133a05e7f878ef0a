#include "engine/solvers/svd_side_by_side.h"

#include <algorithm>
#include <iterator>

#include "engine/solvers/moore_penrose.h"
#include "engine/solvers/svd_decomposition.h"

bool solvesSideBySide(int n, InstructionSet set) {
    return set != InstructionSet::Scalar && svd_lanes_take(n);
}

void decomposeSvdSideBySide(std::span<SvdLaneSystem> systems, int n, InstructionSet set) {
    const bool lanes = solvesSideBySide(n, set);
    if (lanes) {
        switch (set) {
            case InstructionSet::Sse2:
                decompose_svd_sse2(systems.data(), systems.size(), n);
                break;
            case InstructionSet::Avx2:
                decompose_svd_avx2(systems.data(), systems.size(), n);
                break;
            case InstructionSet::Avx512:
                decompose_svd_avx512(systems.data(), systems.size(), n);
                break;
            case InstructionSet::Scalar:
                break;
        }
    }
    SolverNotes ignored;
    for (SvdLaneSystem& s : systems)
        if (!lanes || s.needs_scalar) s.converged = decomposeSvd(*s.a, *s.w, *s.v, n, ignored);
}

void solveMoorePenroseSideBySide(std::span<MoorePenroseLaneSystem> systems, int n, double threshold,
                                 std::span<SolverNotes* const> notes, InstructionSet set) {
    const bool lanes = solvesSideBySide(n, set);
    if (lanes) {
        switch (set) {
            case InstructionSet::Sse2:
                solve_moore_penrose_sse2(systems.data(), systems.size(), n, threshold);
                break;
            case InstructionSet::Avx2:
                solve_moore_penrose_avx2(systems.data(), systems.size(), n, threshold);
                break;
            case InstructionSet::Avx512:
                solve_moore_penrose_avx512(systems.data(), systems.size(), n, threshold);
                break;
            case InstructionSet::Scalar:
                break;
        }
    }
    for (std::size_t k = 0; k < systems.size(); ++k) {
        MoorePenroseLaneSystem& s = systems[k];
        if (lanes && !s.needs_scalar) {
            if (!s.converged) notes[k]->messages.push_back(SVD_NO_CONVERGENCE);
            continue;
        }
        SystemMatrix matrix;
        std::copy(std::begin(*s.matrix), std::end(*s.matrix), matrix);
        s.converged = solveMoorePenrose(matrix, *s.rhs, n, threshold, *notes[k]);
    }
}
