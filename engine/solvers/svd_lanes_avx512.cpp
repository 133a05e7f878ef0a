// The SVD and the Moore-Penrose solution, 8 systems at a time. Built with the flags of
// its instruction set (see orvane_vector_sources); nothing else in this file.
#include "engine/solvers/svd_lanes_kernel.h"

void decompose_svd_avx512(SvdLaneSystem* systems, std::size_t count, int n) {
    SvdLaneRuns<8>::decompose_any(systems, count, n);
}

void solve_moore_penrose_avx512(MoorePenroseLaneSystem* systems, std::size_t count, int n,
                                double threshold) {
    SvdLaneRuns<8>::solve_any(systems, count, n, threshold);
}

void negligible_avx512(const double* x, const double* anorm, bool* out, std::size_t count) {
    SvdLaneRuns<8>::negligible(x, anorm, out, count);
}
