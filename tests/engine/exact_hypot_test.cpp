#include "engine/simd/exact_hypot.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <utility>
#include <vector>

#include "engine/simd/hypot_lanes.h"

namespace {

constexpr double MAX = std::numeric_limits<double>::max();
constexpr double DENORM = std::numeric_limits<double>::denorm_min();
constexpr double INF = std::numeric_limits<double>::infinity();

struct Random {
    std::uint64_t state;
    std::uint64_t next() {
        std::uint64_t z = (state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    double unit() { return static_cast<double>(next() >> 11) * 0x1.0p-53; }
    double sign() { return (next() & 1) ? -1.0 : 1.0; }
    // A random mantissa in [1, 2) times 2^exponent.
    double at_scale(int exponent) {
        return std::ldexp(1.0 + static_cast<double>(next() >> 12) * 0x1.0p-52, exponent);
    }
};

// Index of the first pair whose result differs from std::hypot in its bits, or n.
std::size_t first_mismatch(InstructionSet set, const std::vector<double>& dx,
                           const std::vector<double>& dy, const std::vector<double>& expected) {
    std::vector<double> d(dx.size());
    exact_hypot(set, dx.data(), dy.data(), d.data(), dx.size());
    for (std::size_t k = 0; k < d.size(); ++k)
        if (std::memcmp(&d[k], &expected[k], sizeof(double)) != 0) return k;
    return d.size();
}

std::vector<double> library_hypot(const std::vector<double>& dx, const std::vector<double>& dy) {
    std::vector<double> d(dx.size());
    for (std::size_t k = 0; k < d.size(); ++k) d[k] = std::hypot(dx[k], dy[k]);
    return d;
}

// Fills dx, dy with one block of pairs of kind `kind`:
// 0 distances as the gridding forms them: node minus point plus 0.001, coordinates from
//   millimetres to thousands of kilometres apart from the origin;
// 1 magnitudes across the whole range taken in lanes and beyond it, any ratio;
// 2 ratios near 1/sqrt(3), where the library switches between its two corrections;
// 3 ratios near 2^-54, where it switches to ax + ay;
// 4 uniform in a square.
void fill_block(Random& r, int kind, std::vector<double>& dx, std::vector<double>& dy) {
    for (std::size_t k = 0; k < dx.size(); ++k) {
        double a = 0.0, b = 0.0;
        switch (kind) {
            case 0: {
                const double origin = std::ldexp(r.unit(), static_cast<int>(r.next() % 40) - 10);
                const double cell =
                    std::ldexp(1.0 + r.unit(), static_cast<int>(r.next() % 30) - 15);
                const double node_x = static_cast<double>(r.next() % 4000) * cell + origin;
                const double node_y = static_cast<double>(r.next() % 4000) * cell + origin;
                const double reach = cell * 12.0;
                a = node_x - (node_x + reach * (2.0 * r.unit() - 1.0)) + 0.001;
                b = node_y - (node_y + reach * (2.0 * r.unit() - 1.0)) + 0.001;
                break;
            }
            case 1: {
                const int e = static_cast<int>(r.next() % 1100) - 540;
                a = r.sign() * r.at_scale(e);
                b = r.sign() * r.at_scale(e - static_cast<int>(r.next() % 64));
                break;
            }
            case 2: {
                a = r.sign() * r.at_scale(static_cast<int>(r.next() % 200) - 100);
                b = r.sign() * std::fabs(a) * (0.57735026918962576 + (r.unit() - 0.5) * 1e-6);
                break;
            }
            case 3: {
                a = r.sign() * r.at_scale(static_cast<int>(r.next() % 200) - 100);
                b = r.sign() * std::fabs(a) * 0x1p-54 * (1.0 + (r.unit() - 0.5) * 1e-3 * r.unit());
                break;
            }
            default: {
                const double side = std::ldexp(1.0, static_cast<int>(r.next() % 60) - 30);
                a = side * (2.0 * r.unit() - 1.0);
                b = side * (2.0 * r.unit() - 1.0);
                break;
            }
        }
        if (r.next() & 1) std::swap(a, b);
        dx[k] = a;
        dy[k] = b;
    }
}

// The number of pairs the random test tries: ORVANE_HYPOT_PAIRS, else a hundred million
// in an optimised build (about 8 CPU seconds) and five million in a debug build.
std::size_t random_pairs() {
    if (const char* text = std::getenv("ORVANE_HYPOT_PAIRS"))
        return std::strtoull(text, nullptr, 10);
#ifdef __OPTIMIZE__
    return 100000000;
#else
    return 5000000;
#endif
}

}  // namespace

// Zeros, equal legs, subnormals, the limits of the lanes' range on both sides, the
// ratio 2^-54 itself, overflow, infinities and NaN: every form gives std::hypot's bits.
TEST(exact_hypot, edge_values_give_the_library_bits) {
    const double edges[] = {0.0,
                            -0.0,
                            1.0,
                            3.0,
                            4.0,
                            0.001,
                            0.0014142135623730952,
                            DENORM,
                            2 * DENORM,
                            0x1p-1022,
                            std::nextafter(0x1p-1022, 0.0),
                            1e-300,
                            HYPOT_LANES_SMALLEST,
                            std::nextafter(HYPOT_LANES_SMALLEST, 0.0),
                            std::nextafter(HYPOT_LANES_SMALLEST, 1.0),
                            HYPOT_LANES_LARGEST,
                            std::nextafter(HYPOT_LANES_LARGEST, 0.0),
                            std::nextafter(HYPOT_LANES_LARGEST, INF),
                            1e300,
                            MAX,
                            0x1p-54,
                            0x1p-53,
                            1.0 + 0x1p-52,
                            0.57735026918962576,
                            INF,
                            std::numeric_limits<double>::quiet_NaN()};
    std::vector<double> dx, dy;
    for (double a : edges)
        for (double b : edges)
            for (double sign : {1.0, -1.0}) {
                dx.push_back(a);
                dy.push_back(sign * b);
            }
    const std::vector<double> expected = library_hypot(dx, dy);
    for (InstructionSet set : runnable_instruction_sets()) {
        const std::size_t k = first_mismatch(set, dx, dy, expected);
        EXPECT_EQ(k, dx.size()) << instruction_set_name(set) << ": hypot(" << dx[k % dx.size()]
                                << ", " << dy[k % dx.size()] << ")";
    }
}

// The proof of the lane forms: a hundred million pairs (see random_pairs) of the kinds
// above, every runnable form equal to std::hypot in every bit. The pairs are checked to
// reach every path of the library's computation.
TEST(exact_hypot, random_pairs_give_the_library_bits) {
    const std::size_t total = random_pairs();
    const std::size_t block = 1 << 16;
    std::vector<double> dx(block), dy(block);
    Random r{20261209};
    std::size_t lopsided = 0, steep = 0, flat = 0, outside = 0, tried = 0;
    for (std::size_t done = 0; done < total; done += block) {
        const int kind = static_cast<int>((done / block) % 5);
        fill_block(r, kind, dx, dy);
        const std::vector<double> expected = library_hypot(dx, dy);
        for (InstructionSet set : runnable_instruction_sets()) {
            if (set == InstructionSet::Scalar) continue;
            const std::size_t k = first_mismatch(set, dx, dy, expected);
            ASSERT_EQ(k, block) << instruction_set_name(set) << ": hypot(" << dx[k % block] << ", "
                                << dy[k % block] << ")";
        }
        for (std::size_t k = 0; k < block; k += 97) {
            const double ax = std::fmax(std::fabs(dx[k]), std::fabs(dy[k]));
            const double ay = std::fmin(std::fabs(dx[k]), std::fabs(dy[k]));
            if (!(ax <= HYPOT_LANES_LARGEST && ay >= HYPOT_LANES_SMALLEST))
                ++outside;
            else if (ay <= ax * HYPOT_LANES_RATIO)
                ++lopsided;
            else if (std::sqrt(ax * ax + ay * ay) <= ay + ay)
                ++steep;
            else
                ++flat;
        }
        tried += block;
    }
    EXPECT_GE(tried, total);
    std::printf("pairs %zu; sampled: lopsided %zu, steep %zu, flat %zu, outside %zu\n", tried,
                lopsided, steep, flat, outside);
    if (total >= 1000000) {
        EXPECT_GT(lopsided, tried / 100000);
        EXPECT_GT(steep, tried / 10000);
        EXPECT_GT(flat, tried / 10000);
        EXPECT_GT(outside, tried / 100000);
    }
}

// The probe finds the lane forms equal to this C library's hypot, so the gridding uses
// them; with another C library it would keep to std::hypot.
TEST(exact_hypot, lanes_match_this_library) {
    EXPECT_TRUE(hypot_lanes_match_library());
    EXPECT_EQ(distance_instruction_set(), active_instruction_set());
}
