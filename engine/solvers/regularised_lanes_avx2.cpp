// The regularised solve, 4 alphas at a time. Built with the flags of its instruction set
// (see orvane_vector_sources); nothing else in this file.
#include "engine/solvers/regularised_lanes_kernel.h"

void solve_alphas_avx2(const RegularisedSystem& system, const double* b, const double* alphas,
                       std::size_t count, AlphaSolution* out) {
    Lanes<4>::solve_any(system, b, alphas, count, out);
}
