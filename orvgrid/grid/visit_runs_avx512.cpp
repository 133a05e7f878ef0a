// lay_out_visits with AVX-512F: the runs of eight points at once. Each step is the plain
// form's operation in the same order, so every lane rounds as it does; the rare lane
// whose estimate must be widened is widened by the plain loop.

#include <immintrin.h>

// GCC 12's sqrt, roundscale and gather intrinsics pass an undefined vector as the unused
// masked operand, which -Wmaybe-uninitialized reports wherever they are inlined.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif

#include <cmath>
#include <cstdint>

#include "orvgrid/grid/visit_runs.h"
#include "orvgrid/grid/visit_runs_lanes.h"

namespace {

// -v, exactly (AVX-512F has no floating-point xor).
inline __m512d negated(__m512d v) {
    return _mm512_castsi512_pd(
        _mm512_xor_si512(_mm512_castpd_si512(v), _mm512_set1_epi64(INT64_MIN)));
}

}  // namespace

std::size_t lay_out_visits_avx512(const VisitRuns& runs, const SlotPoints& points, double x,
                                  std::size_t begin, std::size_t end, NodeVisit* visits) {
    const double reach = runs.reach_radius;
    const __m512d node_x = _mm512_set1_pd(x);
    const __m512d offset = _mm512_set1_pd(0.001);
    const __m512d reach_v = _mm512_set1_pd(reach);
    const __m512d reach_squared = _mm512_set1_pd(reach * reach);
    const __m512d origin_y = _mm512_set1_pd(runs.origin_y);
    const __m512d per_node = _mm512_set1_pd(runs.per_node);
    const __m512d one = _mm512_set1_pd(1.0);
    std::size_t count = 0;
    for (std::size_t s = begin; s < end; s += 8) {
        const std::size_t left = end - s;
        const __mmask8 active = left >= 8 ? __mmask8(0xFF) : __mmask8((1u << left) - 1u);
        const __m512d px = _mm512_maskz_loadu_pd(active, points.xs + s);
        const __m512d py = _mm512_maskz_loadu_pd(active, points.ys + s);
        // Lanes past the end read cell row 0, which every index with a point has.
        const __m256i row = _mm512_castsi512_si256(
            _mm512_maskz_loadu_epi32(static_cast<__mmask16>(active), points.rows + s));
        const __m512d dx = _mm512_add_pd(_mm512_sub_pd(node_x, px), offset);
        // |dx| > reach skips the point; a NaN dx does not.
        const __mmask8 near =
            _mm512_mask_cmp_pd_mask(active, _mm512_abs_pd(dx), reach_v, _CMP_NGT_UQ);
        const __m512d lo = _mm512_cvtepu32_pd(
            _mm256_i32gather_epi32(reinterpret_cast<const int*>(runs.row_nodes_first), row, 4));
        const __m512d hi = _mm512_cvtepu32_pd(
            _mm256_i32gather_epi32(reinterpret_cast<const int*>(runs.row_nodes_end), row, 4));
        const __mmask8 windowed = _mm512_mask_cmp_pd_mask(near, lo, hi, _CMP_LT_OQ);
        if (windowed == 0) continue;

        const __m512d half = _mm512_sqrt_pd(_mm512_sub_pd(reach_squared, _mm512_mul_pd(dx, dx)));
        const __m512d centre =
            _mm512_mul_pd(_mm512_sub_pd(_mm512_sub_pd(py, offset), origin_y), per_node);
        const __m512d span = _mm512_mul_pd(half, per_node);
        const __m512d below = _mm512_roundscale_pd(_mm512_sub_pd(centre, span),
                                                   _MM_FROUND_TO_NEG_INF | _MM_FROUND_NO_EXC);
        const __m512d above =
            _mm512_add_pd(_mm512_roundscale_pd(_mm512_add_pd(centre, span),
                                               _MM_FROUND_TO_POS_INF | _MM_FROUND_NO_EXC),
                          one);
        // below > lo: min(below, hi), else lo. A NaN estimate keeps the window's end.
        const __mmask8 cut_below = _mm512_cmp_pd_mask(below, lo, _CMP_GT_OQ);
        const __m512d below_or_hi =
            _mm512_mask_blend_pd(_mm512_cmp_pd_mask(below, hi, _CMP_LT_OQ), hi, below);
        const __m512d run_first = _mm512_mask_blend_pd(cut_below, lo, below_or_hi);
        // above < hi: max(above, run_first), else hi.
        const __mmask8 cut_above = _mm512_cmp_pd_mask(above, hi, _CMP_LT_OQ);
        const __m512d above_or_first = _mm512_mask_blend_pd(
            _mm512_cmp_pd_mask(above, run_first, _CMP_GT_OQ), run_first, above);
        const __m512d run_end = _mm512_mask_blend_pd(cut_above, hi, above_or_first);

        // The nodes just outside the estimate: within reach, the plain loop widens it.
        // Node rows are below 2^31 here, so the indices fit 32 bits.
        const __m256i index_below =
            _mm256_sub_epi32(_mm512_cvttpd_epi32(run_first), _mm256_set1_epi32(1));
        const __mmask8 can_widen_below = windowed & _mm512_cmp_pd_mask(run_first, lo, _CMP_GT_OQ);
        const __m512d y_below = _mm512_mask_i32gather_pd(_mm512_setzero_pd(), can_widen_below,
                                                         index_below, runs.node_y, 8);
        const __mmask8 widen_below = _mm512_mask_cmp_pd_mask(
            can_widen_below, _mm512_add_pd(_mm512_sub_pd(y_below, py), offset), negated(half),
            _CMP_GE_OQ);
        const __mmask8 can_widen_above = windowed & _mm512_cmp_pd_mask(run_end, hi, _CMP_LT_OQ);
        const __m512d y_above = _mm512_mask_i32gather_pd(
            _mm512_setzero_pd(), can_widen_above, _mm512_cvttpd_epi32(run_end), runs.node_y, 8);
        const __mmask8 widen_above = _mm512_mask_cmp_pd_mask(
            can_widen_above, _mm512_add_pd(_mm512_sub_pd(y_above, py), offset), half, _CMP_LE_OQ);

        RunLanes<8> group;
        _mm512_store_pd(group.dx, dx);
        _mm512_store_pd(group.py, py);
        _mm512_store_pd(group.half, half);
        _mm512_store_pd(group.first, run_first);
        _mm512_store_pd(group.end, run_end);
        _mm512_store_pd(group.low, lo);
        _mm512_store_pd(group.high, hi);
        count += finish_lanes(runs, points, s, windowed, widen_below | widen_above, group,
                              visits + count);
    }
    return count;
}
