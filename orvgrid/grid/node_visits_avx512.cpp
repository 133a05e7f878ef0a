// add_node_visits with AVX-512F: eight nodes of a visit's run at once. Lanes past the run
// and nodes beyond the search radius are masked off, so each node adds exactly the terms
// of the plain form, in the same order.

#include "engine/simd/hypot_lanes_avx512.h"
#include "orvgrid/grid/node_visits_forms.h"

namespace {

template <int Variables>
void add_visits(const NodeColumnShape& shape, const NodeVisit* visits, std::size_t count,
                const NodeSums& sums) {
    const __m512d radius = _mm512_set1_pd(shape.search_radius);
    const __m512d offset = _mm512_set1_pd(0.001);
    const __m512d one = _mm512_set1_pd(1.0);
    for (std::size_t v = 0; v < count; ++v) {
        const NodeVisit& visit = visits[v];
        const __m512d dx = _mm512_set1_pd(visit.dx);
        const __m512d py = _mm512_set1_pd(visit.py);
        __m512d value[Variables];
        for (int k = 0; k < Variables; ++k) value[k] = _mm512_set1_pd(visit.value[k]);
        for (std::uint32_t j = visit.first; j < visit.end; j += 8) {
            const std::uint32_t left = visit.end - j;
            const __mmask8 run = left >= 8 ? __mmask8(0xFF) : __mmask8((1u << left) - 1u);
            const __m512d y = _mm512_maskz_loadu_pd(run, shape.node_y + j);
            const __m512d dy = _mm512_add_pd(_mm512_sub_pd(y, py), offset);
            const __m512d d = avx512::hypot_lanes(dx, dy, run);
            const __mmask8 take = _mm512_mask_cmp_pd_mask(run, d, radius, _CMP_NGT_UQ);
            if (take == 0) continue;
            double* weight = sums.weight + j;
            _mm512_mask_storeu_pd(
                weight, take,
                _mm512_add_pd(_mm512_maskz_loadu_pd(take, weight), _mm512_div_pd(one, d)));
            for (int k = 0; k < Variables; ++k) {
                double* weighted = sums.weighted[k] + j;
                _mm512_mask_storeu_pd(weighted, take,
                                      _mm512_add_pd(_mm512_maskz_loadu_pd(take, weighted),
                                                    _mm512_div_pd(value[k], d)));
            }
        }
    }
}

}  // namespace

void add_node_visits_avx512(const NodeColumnShape& shape, const NodeVisit* visits,
                            std::size_t count, const NodeSums& sums) {
    switch (shape.variables) {
        case 1:
            return add_visits<1>(shape, visits, count, sums);
        case 2:
            return add_visits<2>(shape, visits, count, sums);
        default:
            return add_visits<3>(shape, visits, count, sums);
    }
}
