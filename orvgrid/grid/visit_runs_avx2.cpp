// lay_out_visits with AVX2: the runs of four points at once, step for step as the plain
// form takes them (see visit_runs_avx512.cpp, which this follows with four lanes).

#include <immintrin.h>

#include <cstdint>

#include "orvgrid/grid/visit_runs.h"
#include "orvgrid/grid/visit_runs_lanes.h"

namespace {

// The lanes whose comparison held, as bits.
inline unsigned bits(__m256d mask) { return static_cast<unsigned>(_mm256_movemask_pd(mask)); }

inline __m256d lane_mask(unsigned lanes) {
    return _mm256_castsi256_pd(_mm256_set_epi64x(
        -static_cast<long long>(lanes >> 3 & 1), -static_cast<long long>(lanes >> 2 & 1),
        -static_cast<long long>(lanes >> 1 & 1), -static_cast<long long>(lanes & 1)));
}

}  // namespace

std::size_t lay_out_visits_avx2(const VisitRuns& runs, const SlotPoints& points, double x,
                                std::size_t begin, std::size_t end, NodeVisit* visits) {
    const double reach = runs.reach_radius;
    const __m256d node_x = _mm256_set1_pd(x);
    const __m256d offset = _mm256_set1_pd(0.001);
    const __m256d reach_v = _mm256_set1_pd(reach);
    const __m256d reach_squared = _mm256_set1_pd(reach * reach);
    const __m256d origin_y = _mm256_set1_pd(runs.origin_y);
    const __m256d per_node = _mm256_set1_pd(runs.per_node);
    const __m256d one = _mm256_set1_pd(1.0);
    const __m256d sign = _mm256_set1_pd(-0.0);
    std::size_t count = 0;
    for (std::size_t s = begin; s < end; s += 4) {
        const std::size_t left = end - s;
        const unsigned active = left >= 4 ? 0xFu : (1u << left) - 1u;
        __m256d px, py;
        __m128i row;
        if (active == 0xFu) {
            px = _mm256_loadu_pd(points.xs + s);
            py = _mm256_loadu_pd(points.ys + s);
            row = _mm_loadu_si128(reinterpret_cast<const __m128i*>(points.rows + s));
        } else {
            // Lanes past the end read cell row 0, which every index with a point has.
            alignas(32) double xs[4] = {}, ys[4] = {};
            alignas(16) std::uint32_t rows[4] = {};
            for (std::size_t l = 0; l < left; ++l) {
                xs[l] = points.xs[s + l];
                ys[l] = points.ys[s + l];
                rows[l] = points.rows[s + l];
            }
            px = _mm256_load_pd(xs);
            py = _mm256_load_pd(ys);
            row = _mm_load_si128(reinterpret_cast<const __m128i*>(rows));
        }
        const __m256d dx = _mm256_add_pd(_mm256_sub_pd(node_x, px), offset);
        // |dx| > reach skips the point; a NaN dx does not.
        const unsigned near =
            active & bits(_mm256_cmp_pd(_mm256_andnot_pd(sign, dx), reach_v, _CMP_NGT_UQ));
        // Node rows are below 2^31 here: the window ends convert as signed numbers.
        const __m256d lo = _mm256_cvtepi32_pd(
            _mm_i32gather_epi32(reinterpret_cast<const int*>(runs.row_nodes_first), row, 4));
        const __m256d hi = _mm256_cvtepi32_pd(
            _mm_i32gather_epi32(reinterpret_cast<const int*>(runs.row_nodes_end), row, 4));
        const unsigned windowed = near & bits(_mm256_cmp_pd(lo, hi, _CMP_LT_OQ));
        if (windowed == 0) continue;

        const __m256d half = _mm256_sqrt_pd(_mm256_sub_pd(reach_squared, _mm256_mul_pd(dx, dx)));
        const __m256d centre =
            _mm256_mul_pd(_mm256_sub_pd(_mm256_sub_pd(py, offset), origin_y), per_node);
        const __m256d span = _mm256_mul_pd(half, per_node);
        const __m256d below =
            _mm256_round_pd(_mm256_sub_pd(centre, span), _MM_FROUND_TO_NEG_INF | _MM_FROUND_NO_EXC);
        const __m256d above = _mm256_add_pd(
            _mm256_round_pd(_mm256_add_pd(centre, span), _MM_FROUND_TO_POS_INF | _MM_FROUND_NO_EXC),
            one);
        // below > lo: min(below, hi), else lo. A NaN estimate keeps the window's end.
        const __m256d below_or_hi =
            _mm256_blendv_pd(hi, below, _mm256_cmp_pd(below, hi, _CMP_LT_OQ));
        const __m256d run_first =
            _mm256_blendv_pd(lo, below_or_hi, _mm256_cmp_pd(below, lo, _CMP_GT_OQ));
        // above < hi: max(above, run_first), else hi.
        const __m256d above_or_first =
            _mm256_blendv_pd(run_first, above, _mm256_cmp_pd(above, run_first, _CMP_GT_OQ));
        const __m256d run_end =
            _mm256_blendv_pd(hi, above_or_first, _mm256_cmp_pd(above, hi, _CMP_LT_OQ));

        // The nodes just outside the estimate: within reach, the plain loop widens it.
        const __m256d can_widen_below =
            _mm256_and_pd(lane_mask(windowed), _mm256_cmp_pd(run_first, lo, _CMP_GT_OQ));
        const __m128i index_below =
            _mm_sub_epi32(_mm256_cvttpd_epi32(run_first), _mm_set1_epi32(1));
        const __m256d y_below = _mm256_mask_i32gather_pd(_mm256_setzero_pd(), runs.node_y,
                                                         index_below, can_widen_below, 8);
        const unsigned widen_below = bits(_mm256_and_pd(
            can_widen_below, _mm256_cmp_pd(_mm256_add_pd(_mm256_sub_pd(y_below, py), offset),
                                           _mm256_xor_pd(half, sign), _CMP_GE_OQ)));
        const __m256d can_widen_above =
            _mm256_and_pd(lane_mask(windowed), _mm256_cmp_pd(run_end, hi, _CMP_LT_OQ));
        const __m256d y_above = _mm256_mask_i32gather_pd(
            _mm256_setzero_pd(), runs.node_y, _mm256_cvttpd_epi32(run_end), can_widen_above, 8);
        const unsigned widen_above = bits(_mm256_and_pd(
            can_widen_above,
            _mm256_cmp_pd(_mm256_add_pd(_mm256_sub_pd(y_above, py), offset), half, _CMP_LE_OQ)));

        RunLanes<4> group;
        _mm256_store_pd(group.dx, dx);
        _mm256_store_pd(group.py, py);
        _mm256_store_pd(group.half, half);
        _mm256_store_pd(group.first, run_first);
        _mm256_store_pd(group.end, run_end);
        _mm256_store_pd(group.low, lo);
        _mm256_store_pd(group.high, hi);
        count += finish_lanes(runs, points, s, windowed, widen_below | widen_above, group,
                              visits + count);
    }
    return count;
}
