#pragma once
// Two hypot lanes with SSE2 (the x86-64 baseline). The operations are those of
// engine/simd/hypot_lanes.h, in the same order.

#include <emmintrin.h>

#include <cmath>

#include "engine/simd/hypot_lanes.h"

namespace sse2 {

// mask ? a : b, lane by lane (SSE2 has no blend).
inline __m128d select(__m128d mask, __m128d a, __m128d b) {
    return _mm_or_pd(_mm_and_pd(mask, a), _mm_andnot_pd(mask, b));
}

// hypot(dx, dy) in every lane whose `active` lane is all ones; the other lanes hold
// anything.
inline __m128d hypot_lanes(__m128d dx, __m128d dy, __m128d active) {
    const __m128d sign = _mm_set1_pd(-0.0);
    const __m128d x = _mm_andnot_pd(sign, dx);
    const __m128d y = _mm_andnot_pd(sign, dy);
    const __m128d ax = _mm_max_pd(x, y);
    const __m128d ay = _mm_min_pd(x, y);
    // max and min drop a NaN operand: a NaN leg is caught before them. Lopsided pairs
    // go to the library with the rest (see hypot_lanes.h).
    const __m128d least =
        _mm_max_pd(_mm_set1_pd(HYPOT_LANES_SMALLEST), _mm_mul_pd(ax, _mm_set1_pd(HYPOT_LANES_RATIO)));
    const __m128d in_range =
        _mm_and_pd(_mm_cmpord_pd(x, y), _mm_and_pd(_mm_cmple_pd(ax, _mm_set1_pd(HYPOT_LANES_LARGEST)),
                                                   _mm_cmpgt_pd(ay, least)));

    const __m128d h = _mm_sqrt_pd(_mm_add_pd(_mm_mul_pd(ax, ax), _mm_mul_pd(ay, ay)));
    const __m128d ay2 = _mm_add_pd(ay, ay);
    const __m128d steep = _mm_cmple_pd(h, ay2);
    // h <= 2 ay
    const __m128d d1 = _mm_sub_pd(h, ay);
    const __m128d t1s = _mm_mul_pd(_mm_sub_pd(_mm_add_pd(d1, d1), ax), ax);
    const __m128d gap = _mm_sub_pd(ax, ay);
    const __m128d t2s = _mm_mul_pd(_mm_sub_pd(d1, _mm_add_pd(gap, gap)), d1);
    // h > 2 ay
    const __m128d d2 = _mm_sub_pd(h, ax);
    const __m128d t1f = _mm_mul_pd(_mm_add_pd(d2, d2), _mm_sub_pd(ax, ay2));
    const __m128d t2f = _mm_add_pd(_mm_mul_pd(_mm_sub_pd(_mm_mul_pd(_mm_set1_pd(4.0), d2), ay), ay),
                                   _mm_mul_pd(d2, d2));
    const __m128d t1 = select(steep, t1s, t1f);
    const __m128d t2 = select(steep, t2s, t2f);
    __m128d d = _mm_sub_pd(h, _mm_div_pd(_mm_add_pd(t1, t2), _mm_add_pd(h, h)));

    const int outside = _mm_movemask_pd(_mm_andnot_pd(in_range, active));
    if (outside != 0) {
        alignas(16) double xs[2], ys[2], ds[2];
        _mm_store_pd(xs, dx);
        _mm_store_pd(ys, dy);
        _mm_store_pd(ds, d);
        for (int k = 0; k < 2; ++k)
            if ((outside >> k) & 1) ds[k] = std::hypot(xs[k], ys[k]);
        d = _mm_load_pd(ds);
    }
    return d;
}

}  // namespace sse2
