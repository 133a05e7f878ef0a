// add_node_visits with SSE2: two nodes of a visit's run at once. Node arrays are padded
// (NODE_LANE_PADDING), so whole vectors are read and written back; lanes past the run and
// nodes beyond the search radius keep their sums, so each node adds exactly the terms of
// the plain form, in the same order.

#include "engine/simd/hypot_lanes_sse2.h"
#include "orvgrid/grid/node_visits_forms.h"

namespace {

template <int Variables>
void add_visits(const NodeColumnShape& shape, const NodeVisit* visits, std::size_t count,
                const NodeSums& sums) {
    const __m128d radius = _mm_set1_pd(shape.search_radius);
    const __m128d offset = _mm_set1_pd(0.001);
    const __m128d one = _mm_set1_pd(1.0);
    const __m128d both = _mm_castsi128_pd(_mm_set1_epi32(-1));
    const __m128d low = _mm_castsi128_pd(_mm_set_epi32(0, 0, -1, -1));
    for (std::size_t v = 0; v < count; ++v) {
        const NodeVisit& visit = visits[v];
        const __m128d dx = _mm_set1_pd(visit.dx);
        const __m128d py = _mm_set1_pd(visit.py);
        __m128d value[Variables];
        for (int k = 0; k < Variables; ++k) value[k] = _mm_set1_pd(visit.value[k]);
        for (std::uint32_t j = visit.first; j < visit.end; j += 2) {
            const __m128d run = visit.end - j >= 2 ? both : low;
            const __m128d y = _mm_loadu_pd(shape.node_y + j);
            const __m128d dy = _mm_add_pd(_mm_sub_pd(y, py), offset);
            const __m128d d = sse2::hypot_lanes(dx, dy, run);
            // not (d > radius), as the plain form's test: a NaN distance is taken
            const __m128d take = _mm_and_pd(run, _mm_cmpngt_pd(d, radius));
            if (_mm_movemask_pd(take) == 0) continue;
            double* weight = sums.weight + j;
            const __m128d w = _mm_loadu_pd(weight);
            _mm_storeu_pd(weight, sse2::select(take, _mm_add_pd(w, _mm_div_pd(one, d)), w));
            for (int k = 0; k < Variables; ++k) {
                double* weighted = sums.weighted[k] + j;
                const __m128d s = _mm_loadu_pd(weighted);
                _mm_storeu_pd(weighted,
                              sse2::select(take, _mm_add_pd(s, _mm_div_pd(value[k], d)), s));
            }
        }
    }
}

}  // namespace

void add_node_visits_sse2(const NodeColumnShape& shape, const NodeVisit* visits, std::size_t count,
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
