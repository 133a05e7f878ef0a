#include "engine/simd/exact_hypot.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <vector>

#include "engine/simd/exact_hypot_forms.h"
#include "engine/simd/hypot_lanes.h"

void exact_hypot(InstructionSet set, const double* dx, const double* dy, double* d, std::size_t n) {
    switch (set) {
        case InstructionSet::Sse2:
            return exact_hypot_sse2(dx, dy, d, n);
        case InstructionSet::Avx2:
            return exact_hypot_avx2(dx, dy, d, n);
        case InstructionSet::Avx512:
            return exact_hypot_avx512(dx, dy, d, n);
        case InstructionSet::Scalar:
            break;
    }
    for (std::size_t k = 0; k < n; ++k) d[k] = std::hypot(dx[k], dy[k]);
}

namespace {

// Pairs that take each branch of the library's computation, its range limits, and a
// few thousand scattered ones: a hypot of other steps (correctly rounded, or a plain
// sqrt of the squares) differs from the lane form on hundreds of them.
void probe_pairs(std::vector<double>& dx, std::vector<double>& dy) {
    const double edges[] = {0.0,
                            1.0,
                            3.0,
                            4.0,
                            0.001,
                            1e-300,
                            1e300,
                            HYPOT_LANES_LARGEST,
                            HYPOT_LANES_SMALLEST,
                            std::nextafter(HYPOT_LANES_SMALLEST, 0.0),
                            std::nextafter(HYPOT_LANES_LARGEST, 1e308),
                            0x1p-54,
                            0x1p-53,
                            std::numeric_limits<double>::denorm_min(),
                            std::numeric_limits<double>::max()};
    for (double a : edges)
        for (double b : edges) {
            dx.push_back(a);
            dy.push_back(-b);
        }
    std::uint64_t state = 0x5DEECE66Dull;
    for (int k = 0; k < 4000; ++k) {
        state = state * 6364136223846793005ull + 1442695040888963407ull;
        const double u = static_cast<double>(state >> 11) * 0x1p-53;
        state = state * 6364136223846793005ull + 1442695040888963407ull;
        const double v = static_cast<double>(state >> 11) * 0x1p-53;
        const int scale = static_cast<int>(state % 60) - 30;
        dx.push_back(std::ldexp(u - 0.5, scale));
        dy.push_back(std::ldexp(v - 0.5, scale - static_cast<int>(k % 40)));
    }
}

bool probe() {
    std::vector<double> dx, dy;
    probe_pairs(dx, dy);
    std::vector<double> library(dx.size()), lanes(dx.size());
    exact_hypot(InstructionSet::Scalar, dx.data(), dy.data(), library.data(), dx.size());
    for (InstructionSet set : runnable_instruction_sets()) {
        exact_hypot(set, dx.data(), dy.data(), lanes.data(), dx.size());
        if (std::memcmp(library.data(), lanes.data(), library.size() * sizeof(double)) != 0)
            return false;
    }
    return true;
}

}  // namespace

bool hypot_lanes_match_library() {
    static const bool matches = probe();
    return matches;
}

InstructionSet distance_instruction_set() {
    static const InstructionSet set =
        hypot_lanes_match_library() ? active_instruction_set() : InstructionSet::Scalar;
    return set;
}
