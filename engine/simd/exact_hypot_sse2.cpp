// The array form of the SSE2 hypot lanes.

#include <cmath>
#include <cstddef>

#include "engine/simd/exact_hypot_forms.h"
#include "engine/simd/hypot_lanes_sse2.h"

void exact_hypot_sse2(const double* dx, const double* dy, double* d, std::size_t n) {
    const __m128d all = _mm_castsi128_pd(_mm_set1_epi32(-1));
    std::size_t k = 0;
    for (; k + 2 <= n; k += 2)
        _mm_storeu_pd(d + k, sse2::hypot_lanes(_mm_loadu_pd(dx + k), _mm_loadu_pd(dy + k), all));
    for (; k < n; ++k) d[k] = std::hypot(dx[k], dy[k]);
}
