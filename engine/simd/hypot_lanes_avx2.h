#pragma once
// Four hypot lanes with AVX2; include only from files compiled for it. The operations
// are those of engine/simd/hypot_lanes.h, in the same order.

#include <immintrin.h>

#include <cmath>

#include "engine/simd/hypot_lanes.h"

namespace avx2 {

// hypot(dx, dy) in every lane whose `active` lane is all ones; the other lanes hold
// anything.
inline __m256d hypot_lanes(__m256d dx, __m256d dy, __m256d active) {
    const __m256d sign = _mm256_set1_pd(-0.0);
    const __m256d x = _mm256_andnot_pd(sign, dx);
    const __m256d y = _mm256_andnot_pd(sign, dy);
    const __m256d ax = _mm256_max_pd(x, y);
    const __m256d ay = _mm256_min_pd(x, y);
    // max and min drop a NaN operand: a NaN leg is caught before them. Lopsided pairs
    // go to the library with the rest (see hypot_lanes.h).
    const __m256d least = _mm256_max_pd(_mm256_set1_pd(HYPOT_LANES_SMALLEST),
                                        _mm256_mul_pd(ax, _mm256_set1_pd(HYPOT_LANES_RATIO)));
    const __m256d in_range = _mm256_and_pd(
        _mm256_cmp_pd(x, y, _CMP_ORD_Q),
        _mm256_and_pd(_mm256_cmp_pd(ax, _mm256_set1_pd(HYPOT_LANES_LARGEST), _CMP_LE_OQ),
                      _mm256_cmp_pd(ay, least, _CMP_GT_OQ)));

    const __m256d h = _mm256_sqrt_pd(_mm256_add_pd(_mm256_mul_pd(ax, ax), _mm256_mul_pd(ay, ay)));
    const __m256d ay2 = _mm256_add_pd(ay, ay);
    const __m256d steep = _mm256_cmp_pd(h, ay2, _CMP_LE_OQ);
    // h <= 2 ay
    const __m256d d1 = _mm256_sub_pd(h, ay);
    const __m256d t1s = _mm256_mul_pd(_mm256_sub_pd(_mm256_add_pd(d1, d1), ax), ax);
    const __m256d gap = _mm256_sub_pd(ax, ay);
    const __m256d t2s = _mm256_mul_pd(_mm256_sub_pd(d1, _mm256_add_pd(gap, gap)), d1);
    // h > 2 ay
    const __m256d d2 = _mm256_sub_pd(h, ax);
    const __m256d t1f = _mm256_mul_pd(_mm256_add_pd(d2, d2), _mm256_sub_pd(ax, ay2));
    const __m256d t2f =
        _mm256_add_pd(_mm256_mul_pd(_mm256_sub_pd(_mm256_mul_pd(_mm256_set1_pd(4.0), d2), ay), ay),
                      _mm256_mul_pd(d2, d2));
    const __m256d t1 = _mm256_blendv_pd(t1f, t1s, steep);
    const __m256d t2 = _mm256_blendv_pd(t2f, t2s, steep);
    __m256d d = _mm256_sub_pd(h, _mm256_div_pd(_mm256_add_pd(t1, t2), _mm256_add_pd(h, h)));

    const int outside = _mm256_movemask_pd(_mm256_andnot_pd(in_range, active));
    if (outside != 0) {
        alignas(32) double xs[4], ys[4], ds[4];
        _mm256_store_pd(xs, dx);
        _mm256_store_pd(ys, dy);
        _mm256_store_pd(ds, d);
        for (int k = 0; k < 4; ++k)
            if ((outside >> k) & 1) ds[k] = std::hypot(xs[k], ys[k]);
        d = _mm256_load_pd(ds);
    }
    return d;
}

}  // namespace avx2
