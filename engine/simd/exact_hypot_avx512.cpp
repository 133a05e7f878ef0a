// The array form of the AVX-512F hypot lanes.

#include <cstddef>

#include "engine/simd/exact_hypot_forms.h"
#include "engine/simd/hypot_lanes_avx512.h"

void exact_hypot_avx512(const double* dx, const double* dy, double* d, std::size_t n) {
    for (std::size_t k = 0; k < n; k += 8) {
        const std::size_t count = n - k < 8 ? n - k : 8;
        const __mmask8 active = static_cast<__mmask8>((1u << count) - 1u);
        const __m512d x = _mm512_maskz_loadu_pd(active, dx + k);
        const __m512d y = _mm512_maskz_loadu_pd(active, dy + k);
        _mm512_mask_storeu_pd(d + k, active, avx512::hypot_lanes(x, y, active));
    }
}
