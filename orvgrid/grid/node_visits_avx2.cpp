// add_node_visits with AVX2: four nodes of a visit's run at once. Node arrays are padded
// (NODE_LANE_PADDING), so whole vectors are read and written back; lanes past the run and
// nodes beyond the search radius keep their sums, so each node adds exactly the terms of
// the plain form, in the same order.

#include "engine/simd/hypot_lanes_avx2.h"
#include "orvgrid/grid/node_visits_forms.h"

namespace {

// Lanes 0 .. n-1 set, for n = 0 .. 4.
__m256d first_lanes(std::uint32_t n) {
    const __m256i index = _mm256_set_epi64x(3, 2, 1, 0);
    return _mm256_castsi256_pd(_mm256_cmpgt_epi64(_mm256_set1_epi64x(n), index));
}

template <int Variables>
void add_visits(const NodeColumnShape& shape, const NodeVisit* visits, std::size_t count,
                const NodeSums& sums) {
    const __m256d radius = _mm256_set1_pd(shape.search_radius);
    const __m256d offset = _mm256_set1_pd(0.001);
    const __m256d one = _mm256_set1_pd(1.0);
    for (std::size_t v = 0; v < count; ++v) {
        const NodeVisit& visit = visits[v];
        const __m256d dx = _mm256_set1_pd(visit.dx);
        const __m256d py = _mm256_set1_pd(visit.py);
        __m256d value[Variables];
        for (int k = 0; k < Variables; ++k) value[k] = _mm256_set1_pd(visit.value[k]);
        for (std::uint32_t j = visit.first; j < visit.end; j += 4) {
            const std::uint32_t left = visit.end - j;
            const __m256d run = first_lanes(left < 4 ? left : 4);
            const __m256d y = _mm256_loadu_pd(shape.node_y + j);
            const __m256d dy = _mm256_add_pd(_mm256_sub_pd(y, py), offset);
            const __m256d d = avx2::hypot_lanes(dx, dy, run);
            const __m256d take = _mm256_and_pd(run, _mm256_cmp_pd(d, radius, _CMP_NGT_UQ));
            if (_mm256_movemask_pd(take) == 0) continue;
            double* weight = sums.weight + j;
            const __m256d w = _mm256_loadu_pd(weight);
            _mm256_storeu_pd(weight,
                             _mm256_blendv_pd(w, _mm256_add_pd(w, _mm256_div_pd(one, d)), take));
            for (int k = 0; k < Variables; ++k) {
                double* weighted = sums.weighted[k] + j;
                const __m256d s = _mm256_loadu_pd(weighted);
                _mm256_storeu_pd(
                    weighted,
                    _mm256_blendv_pd(s, _mm256_add_pd(s, _mm256_div_pd(value[k], d)), take));
            }
        }
    }
}

}  // namespace

void add_node_visits_avx2(const NodeColumnShape& shape, const NodeVisit* visits, std::size_t count,
                          const NodeSums& sums) {
    switch (shape.variables) {
        case 1:
            return add_visits<1>(shape, visits, count, sums);
        case 2:
            return add_visits<2>(shape, visits, count, sums);
        default:
            return add_visits<3>(shape, visits, count, sums);
    }
}
