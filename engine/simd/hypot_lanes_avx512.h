#pragma once
// Eight hypot lanes with AVX-512F; include only from files compiled for it. The
// operations are those of engine/simd/hypot_lanes.h, in the same order.

#include <immintrin.h>

// GCC 12's max, min and sqrt intrinsics pass an undefined vector as the unused masked
// operand, which -Wmaybe-uninitialized reports wherever they are inlined.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif

#include <cmath>

#include "engine/simd/hypot_lanes.h"

namespace avx512 {

// hypot(dx, dy) in every lane of `active`; the other lanes hold anything.
inline __m512d hypot_lanes(__m512d dx, __m512d dy, __mmask8 active) {
    const __m512d x = _mm512_abs_pd(dx);
    const __m512d y = _mm512_abs_pd(dy);
    const __m512d ax = _mm512_max_pd(x, y);
    const __m512d ay = _mm512_min_pd(x, y);
    // max and min drop a NaN operand: a NaN leg is caught before them. Lopsided pairs
    // go to the library with the rest (see hypot_lanes.h).
    const __m512d least = _mm512_max_pd(_mm512_set1_pd(HYPOT_LANES_SMALLEST),
                                        _mm512_mul_pd(ax, _mm512_set1_pd(HYPOT_LANES_RATIO)));
    const __mmask8 in_range =
        _mm512_cmp_pd_mask(x, y, _CMP_ORD_Q) &
        _mm512_cmp_pd_mask(ax, _mm512_set1_pd(HYPOT_LANES_LARGEST), _CMP_LE_OQ) &
        _mm512_cmp_pd_mask(ay, least, _CMP_GT_OQ);

    const __m512d h = _mm512_sqrt_pd(_mm512_add_pd(_mm512_mul_pd(ax, ax), _mm512_mul_pd(ay, ay)));
    const __m512d ay2 = _mm512_add_pd(ay, ay);
    const __mmask8 steep = _mm512_cmp_pd_mask(h, ay2, _CMP_LE_OQ);
    // h <= 2 ay
    const __m512d d1 = _mm512_sub_pd(h, ay);
    const __m512d t1s = _mm512_mul_pd(_mm512_sub_pd(_mm512_add_pd(d1, d1), ax), ax);
    const __m512d gap = _mm512_sub_pd(ax, ay);
    const __m512d t2s = _mm512_mul_pd(_mm512_sub_pd(d1, _mm512_add_pd(gap, gap)), d1);
    // h > 2 ay
    const __m512d d2 = _mm512_sub_pd(h, ax);
    const __m512d t1f = _mm512_mul_pd(_mm512_add_pd(d2, d2), _mm512_sub_pd(ax, ay2));
    const __m512d t2f =
        _mm512_add_pd(_mm512_mul_pd(_mm512_sub_pd(_mm512_mul_pd(_mm512_set1_pd(4.0), d2), ay), ay),
                      _mm512_mul_pd(d2, d2));
    const __m512d t1 = _mm512_mask_blend_pd(steep, t1f, t1s);
    const __m512d t2 = _mm512_mask_blend_pd(steep, t2f, t2s);
    __m512d d = _mm512_sub_pd(h, _mm512_div_pd(_mm512_add_pd(t1, t2), _mm512_add_pd(h, h)));

    const __mmask8 outside = active & static_cast<__mmask8>(~in_range);
    if (outside != 0) {
        alignas(64) double xs[8], ys[8], ds[8];
        _mm512_store_pd(xs, dx);
        _mm512_store_pd(ys, dy);
        _mm512_store_pd(ds, d);
        for (int k = 0; k < 8; ++k)
            if ((outside >> k) & 1) ds[k] = std::hypot(xs[k], ys[k]);
        d = _mm512_load_pd(ds);
    }
    return d;
}

}  // namespace avx512
