// The array form of the AVX2 hypot lanes.

#include <cmath>
#include <cstddef>

#include "engine/simd/exact_hypot_forms.h"
#include "engine/simd/hypot_lanes_avx2.h"

void exact_hypot_avx2(const double* dx, const double* dy, double* d, std::size_t n) {
    const __m256d all = _mm256_castsi256_pd(_mm256_set1_epi64x(-1));
    std::size_t k = 0;
    for (; k + 4 <= n; k += 4)
        _mm256_storeu_pd(d + k,
                         avx2::hypot_lanes(_mm256_loadu_pd(dx + k), _mm256_loadu_pd(dy + k), all));
    for (; k < n; ++k) d[k] = std::hypot(dx[k], dy[k]);
}
