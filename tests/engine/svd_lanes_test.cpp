// The lane forms of the SVD against the scalar decomposeSvd and solveMoorePenrose, bit
// for bit, on every instruction set this CPU runs: random and adversarial systems (zero
// rows and columns, rank deficiency, duplicated rows, wild scales, subnormals, NaN and
// infinities, near-singular and neighbourhood-like normal matrices), mixed so that the
// lanes of one group split, cancel, converge and fail at different times. And the
// negligibility test in doubles against the 80-bit sum it stands for.

#include "engine/solvers/svd_lanes.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "engine/simd/instruction_set.h"
#include "engine/solvers/moore_penrose.h"
#include "engine/solvers/negligible_sum.h"
#include "engine/solvers/svd_decomposition.h"
#include "engine/solvers/svd_side_by_side.h"

namespace {

const double NaN = std::numeric_limits<double>::quiet_NaN();
const double INF = std::numeric_limits<double>::infinity();
const double DENORM = std::numeric_limits<double>::denorm_min();

// splitmix64: fixed seeds, no library distributions.
class Random {
   public:
    explicit Random(std::uint64_t seed) : state_(seed) {}
    std::uint64_t next() {
        std::uint64_t z = (state_ += 0x9e3779b97f4a7c15u);
        z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9u;
        z = (z ^ (z >> 27)) * 0x94d049bb133111ebu;
        return z ^ (z >> 31);
    }
    double unit() { return static_cast<double>(next() >> 11) * 0x1p-53; }
    double uniform(double lo, double hi) { return lo + (hi - lo) * unit(); }
    int below(int n) { return static_cast<int>(next() % static_cast<std::uint64_t>(n)); }

   private:
    std::uint64_t state_;
};

// Copyable holders of the solvers' plain arrays.
struct Matrix {
    SystemMatrix m;
};
struct Vector10 {
    SystemVector v;
};

bool same_bits(double a, double b) {
    return std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b);
}

// The scalar code's own test.
bool negligible_80(double x, double anorm) {
    return static_cast<long double>(std::fabs(x)) + static_cast<long double>(anorm) ==
           static_cast<long double>(anorm);
}

void negligible_in_lanes(InstructionSet set, const std::vector<double>& x,
                         const std::vector<double>& anorm, std::vector<char>& out) {
    const std::unique_ptr<bool[]> owned(new bool[x.size()]);
    bool* flags = owned.get();
    switch (set) {
        case InstructionSet::Sse2:
            negligible_sse2(x.data(), anorm.data(), flags, x.size());
            break;
        case InstructionSet::Avx2:
            negligible_avx2(x.data(), anorm.data(), flags, x.size());
            break;
        case InstructionSet::Avx512:
            negligible_avx512(x.data(), anorm.data(), flags, x.size());
            break;
        case InstructionSet::Scalar:
            for (std::size_t k = 0; k < x.size(); ++k)
                flags[k] = negligible_in_doubles(x[k], anorm[k]);
            break;
    }
    out.assign(flags, flags + x.size());
}

// The systems each differential test tries (half with four unknowns, half with six):
// ORVANE_SVD_SYSTEMS, else 300 000 in an optimised build (about 2 CPU seconds with
// three instruction sets) and 20 000 in a debug build.
std::size_t systems_to_try() {
    if (const char* text = std::getenv("ORVANE_SVD_SYSTEMS"))
        return std::strtoull(text, nullptr, 10);
#ifdef __OPTIMIZE__
    return 300000;
#else
    return 20000;
#endif
}

// A design row of a local fit: the trend's terms of a neighbour (X, Y, Z, 1 for four
// unknowns; X, Y, XZ, YZ, Z, 1 for six).
void design_row(int n, double X, double Y, double Z, double* t) {
    if (n == 4) {
        t[0] = X, t[1] = Y, t[2] = Z, t[3] = 1.0;
    } else {
        t[0] = X, t[1] = Y, t[2] = X * Z, t[3] = Y * Z, t[4] = Z, t[5] = 1.0;
    }
}

constexpr int KINDS = 14;

// One system of the given kind in the leading n x n block; the rest of the arrays NaN, so
// that a form reading beyond the block gives itself away.
void make_system(int n, int kind, Random& r, SystemMatrix& a, SystemVector& b) {
    for (double& e : a) e = NaN;
    for (double& e : b) e = NaN;
    auto at = [&](int i, int k) -> double& { return a[i * 10 + k]; };
    for (int i = 0; i < n; ++i) b[i] = r.uniform(-100, 100);
    switch (kind) {
        case 0:  // plain random
            for (int i = 0; i < n; ++i)
                for (int k = 0; k < n; ++k) at(i, k) = r.uniform(-1, 1);
            break;
        case 1:    // normal matrix of a neighbourhood, as the fit builds it
        case 2: {  // the same on flat ground: Z = 0 everywhere
            for (int i = 0; i < n; ++i)
                for (int k = 0; k < n; ++k) at(i, k) = 0.0;
            const int neighbours = r.below(40);
            const double rho = r.uniform(10, 3000);
            for (int j = 0; j < neighbours; ++j) {
                double t[6];
                const double Z = kind == 2 ? 0.0 : r.uniform(-20, 20);
                design_row(n, r.uniform(-rho, rho), r.uniform(-rho, rho), Z, t);
                for (int i = 0; i < n; ++i)
                    for (int k = i; k < n; ++k) at(i, k) += t[i] * t[k];
            }
            for (int i = 0; i < n; ++i)
                for (int k = i + 1; k < n; ++k) at(k, i) = at(i, k);
            break;
        }
        case 3: {  // zero rows and columns, some of them negative zeros
            for (int i = 0; i < n; ++i)
                for (int k = 0; k < n; ++k) at(i, k) = r.uniform(-5, 5);
            const int zeros = 1 + r.below(n);
            for (int z = 0; z < zeros; ++z) {
                const int line = r.below(n);
                const double zero = r.below(2) ? 0.0 : -0.0;
                for (int k = 0; k < n; ++k) (r.below(2) ? at(line, k) : at(k, line)) = zero;
            }
            break;
        }
        case 4: {  // rank deficient: a product of n x rank and rank x n
            const int rank = r.below(n);
            double p[10][10], q[10][10];
            for (int i = 0; i < n; ++i)
                for (int j = 0; j < rank; ++j)
                    p[i][j] = r.uniform(-3, 3), q[j][i] = r.uniform(-3, 3);
            for (int i = 0; i < n; ++i)
                for (int k = 0; k < n; ++k) {
                    double sum = 0.0;
                    for (int j = 0; j < rank; ++j) sum += p[i][j] * q[j][k];
                    at(i, k) = sum;
                }
            break;
        }
        case 5: {  // duplicated rows or columns
            for (int i = 0; i < n; ++i)
                for (int k = 0; k < n; ++k) at(i, k) = r.uniform(-2, 2);
            const int from = r.below(n), to = r.below(n);
            const bool rows = r.below(2);
            for (int k = 0; k < n; ++k) (rows ? at(to, k) = at(from, k) : at(k, to) = at(k, from));
            break;
        }
        case 6:  // wild scales, entry by entry
            for (int i = 0; i < n; ++i)
                for (int k = 0; k < n; ++k)
                    at(i, k) = r.uniform(-1, 1) * std::pow(10.0, r.uniform(-300, 300));
            break;
        case 7: {  // wild scales by rows and columns
            double row[10], col[10];
            for (int i = 0; i < n; ++i) row[i] = std::pow(10.0, r.uniform(-150, 150));
            for (int i = 0; i < n; ++i) col[i] = std::pow(10.0, r.uniform(-150, 150));
            for (int i = 0; i < n; ++i)
                for (int k = 0; k < n; ++k) at(i, k) = r.uniform(-1, 1) * row[i] * col[k];
            break;
        }
        case 8:  // subnormal entries among tiny and ordinary ones
            for (int i = 0; i < n; ++i)
                for (int k = 0; k < n; ++k) {
                    const int pick = r.below(4);
                    at(i, k) = pick == 0   ? DENORM * static_cast<double>(r.below(1 << 20))
                               : pick == 1 ? r.uniform(-1, 1) * 0x1p-1000
                               : pick == 2 ? r.uniform(-1, 1)
                                           : 0.0;
                    if (r.below(2)) at(i, k) = -at(i, k);
                }
            break;
        case 9: {  // NaN and infinite entries (overflowed sums can reach a solver)
            for (int i = 0; i < n; ++i)
                for (int k = 0; k < n; ++k) at(i, k) = r.uniform(-1, 1);
            const double specials[] = {NaN, INF, -INF, 1e308, -1e308};
            const int count = 1 + r.below(3);
            for (int s = 0; s < count; ++s) at(r.below(n), r.below(n)) = specials[r.below(5)];
            if (r.below(4) == 0) b[r.below(n)] = specials[r.below(5)];
            break;
        }
        case 10: {  // near singular: a row almost the sum of two others
            for (int i = 0; i < n; ++i)
                for (int k = 0; k < n; ++k) at(i, k) = r.uniform(-1, 1);
            const int target = r.below(n);
            const double eps = std::pow(10.0, -r.uniform(6, 18));
            for (int k = 0; k < n; ++k)
                at(target, k) =
                    at((target + 1) % n, k) + at((target + 2) % n, k) + eps * r.uniform(-1, 1);
            break;
        }
        case 11: {  // structured: diagonal, bidiagonal or triangular with exact zeros
            const int shape = r.below(3);
            for (int i = 0; i < n; ++i)
                for (int k = 0; k < n; ++k) {
                    const bool inside = shape == 0   ? i == k
                                        : shape == 1 ? (k == i || k == i + 1)
                                                     : k >= i;
                    at(i, k) = inside && r.below(4) ? static_cast<double>(r.below(7) - 3) : 0.0;
                }
            break;
        }
        case 12: {  // small integers: ties, equal values and exact cancellations
            for (int i = 0; i < n; ++i)
                for (int k = 0; k < n; ++k) at(i, k) = static_cast<double>(r.below(5) - 2);
            break;
        }
        default: {  // a neighbourhood normal matrix with large coordinates (far from the origin)
            for (int i = 0; i < n; ++i)
                for (int k = 0; k < n; ++k) at(i, k) = 0.0;
            const int neighbours = 3 + r.below(30);
            const double x0 = r.uniform(1e5, 5e6), y0 = r.uniform(1e5, 5e6);
            for (int j = 0; j < neighbours; ++j) {
                double t[6];
                design_row(n, x0 + r.uniform(-300, 300), y0 + r.uniform(-300, 300),
                           r.uniform(0, 2000), t);
                for (int i = 0; i < n; ++i)
                    for (int k = i; k < n; ++k) at(i, k) += t[i] * t[k];
            }
            for (int i = 0; i < n; ++i)
                for (int k = i + 1; k < n; ++k) at(k, i) = at(i, k);
            break;
        }
    }
}

template <std::size_t K>
bool same_arrays(const double (&a)[K], const double (&b)[K]) {
    return std::memcmp(a, b, sizeof a) == 0;
}

std::vector<InstructionSet> lane_sets() {
    std::vector<InstructionSet> sets;
    for (InstructionSet set : runnable_instruction_sets())
        if (set != InstructionSet::Scalar) sets.push_back(set);
    return sets;
}

// Threshold settings: the computed one most often, fixed ones of every size, zero.
double pick_threshold(Random& r) {
    const double fixed[] = {-1.0, -1e-300, 0.0, 1e-12, 1e-3, 0.5, 1.0, 1e3, 1e300, NaN};
    return r.below(2) ? -1.0 : fixed[r.below(10)];
}

}  // namespace

// Zero, subnormal, tiny and huge norms, infinity and NaN, each against x at the edge of
// negligibility (2^(e-64)), one step either side of it, zeros, subnormals, infinities and
// NaN; then random norms of every binade against x near their edge.
TEST(svd_lanes, negligibility_in_doubles_is_the_80_bit_sum) {
    std::vector<double> norms = {0.0,
                                 DENORM,
                                 3 * DENORM,
                                 0x1p-1022 - DENORM,
                                 0x1p-1022,
                                 0x1p-1011,
                                 0x1p-1010,
                                 0x1p-1009,
                                 1.0,
                                 1.5,
                                 std::nextafter(2.0, 0.0),
                                 2.0,
                                 3.0,
                                 1e-300,
                                 1e300,
                                 0x1p1023,
                                 std::numeric_limits<double>::max(),
                                 INF,
                                 NaN,
                                 -NaN};
    Random r(7);
    for (int k = 0; k < 2000; ++k)
        norms.push_back(std::bit_cast<double>(r.next() & NEGLIGIBLE_MAGNITUDE_BITS));
    std::vector<double> xs, ns;
    for (double anorm : norms) {
        const int e = std::ilogb(anorm);
        const double edge = std::isfinite(anorm) && anorm > 0.0 ? std::ldexp(1.0, e - 64) : 1.0;
        const double candidates[] = {0.0,
                                     -0.0,
                                     DENORM,
                                     -DENORM,
                                     edge,
                                     -edge,
                                     std::nextafter(edge, 0.0),
                                     std::nextafter(edge, INF),
                                     edge * 1.5,
                                     edge * 0.75,
                                     2 * edge,
                                     anorm,
                                     -anorm,
                                     std::numeric_limits<double>::max(),
                                     INF,
                                     -INF,
                                     NaN,
                                     0x1p960,
                                     0x1p959,
                                     r.uniform(-1, 1) * edge * 4};
        for (double x : candidates) {
            xs.push_back(x);
            ns.push_back(anorm);
        }
    }
    std::size_t passing = 0;
    for (std::size_t k = 0; k < xs.size(); ++k) {
        const bool want = negligible_80(xs[k], ns[k]);
        passing += want;
        ASSERT_EQ(negligible_in_doubles(xs[k], ns[k]), want) << xs[k] << " beside " << ns[k];
    }
    // Both answers occur often: the edges are really probed.
    EXPECT_GT(passing, xs.size() / 4);
    EXPECT_LT(passing, xs.size() * 3 / 4);
    for (InstructionSet set : lane_sets()) {
        std::vector<char> got;
        negligible_in_lanes(set, xs, ns, got);
        for (std::size_t k = 0; k < xs.size(); ++k)
            ASSERT_EQ(got[k] != 0, negligible_80(xs[k], ns[k]))
                << instruction_set_name(set) << " " << xs[k] << " beside " << ns[k];
    }
}

// U, w, V and the convergence flag of every system, every lane form against the scalar one.
TEST(svd_lanes, decomposition_gives_the_scalar_bits) {
    const std::size_t total = systems_to_try();
    for (int n : {4, 6}) {
        Random r(1000 + n);
        const std::size_t batch = 4093;  // not a multiple of any lane count
        std::size_t failures = 0;
        std::vector<Matrix> input(batch), u(batch), v(batch), lu(batch), lv(batch);
        std::vector<Vector10> w(batch), lw(batch);
        std::vector<char> converged(batch);
        std::vector<SvdLaneSystem> systems(batch);
        for (std::size_t done = 0; done < total / 2; done += batch) {
            for (std::size_t k = 0; k < batch; ++k) {
                SystemVector unused;
                make_system(n, r.below(KINDS), r, input[k].m, unused);
                u[k] = input[k];
                v[k] = Matrix{};
                w[k] = Vector10{};
                SolverNotes notes;
                converged[k] = decomposeSvd(u[k].m, w[k].v, v[k].m, n, notes);
                failures += !converged[k];
            }
            for (InstructionSet set : lane_sets()) {
                for (std::size_t k = 0; k < batch; ++k) {
                    lu[k] = input[k];
                    lv[k] = Matrix{};
                    lw[k] = Vector10{};
                    systems[k] = {&lu[k].m, &lw[k].v, &lv[k].m, false};
                }
                decomposeSvdSideBySide(systems, n, set);
                for (std::size_t k = 0; k < batch; ++k) {
                    const auto where = [&] {
                        return std::string(instruction_set_name(set)) + " n=" + std::to_string(n) +
                               " system " + std::to_string(done + k);
                    };
                    ASSERT_EQ(systems[k].converged, converged[k] != 0) << where();
                    if (same_arrays(lu[k].m, u[k].m) && same_arrays(lv[k].m, v[k].m) &&
                        same_arrays(lw[k].v, w[k].v))
                        continue;
                    for (int i = 0; i < 100; ++i) {
                        ASSERT_TRUE(same_bits(lu[k].m[i], u[k].m[i])) << where() << " U " << i;
                        ASSERT_TRUE(same_bits(lv[k].m[i], v[k].m[i])) << where() << " V " << i;
                    }
                    for (int i = 0; i < 10; ++i)
                        ASSERT_TRUE(same_bits(lw[k].v[i], w[k].v[i])) << where() << " w " << i;
                }
            }
        }
        // Some systems of the mix fail to converge, so failing lanes sit beside working ones.
        EXPECT_GT(failures, 0u) << n;
    }
}

// The solutions, the failure marker, the untouched rest of rhs and the message of every
// system, with the computed threshold and fixed ones.
TEST(svd_lanes, moore_penrose_gives_the_scalar_bits_and_notes) {
    const std::size_t total = systems_to_try();
    for (int n : {4, 6}) {
        Random r(2000 + n);
        const std::size_t batch = 3001;
        for (std::size_t done = 0; done < total / 2; done += batch) {
            const double threshold = pick_threshold(r);
            std::vector<Matrix> input(batch);
            std::vector<Vector10> rhs(batch), want(batch);
            std::vector<char> converged(batch);
            std::vector<std::vector<std::string>> messages(batch);
            for (std::size_t k = 0; k < batch; ++k) {
                make_system(n, r.below(KINDS), r, input[k].m, rhs[k].v);
                Matrix a = input[k];
                want[k] = rhs[k];
                SolverNotes notes;
                converged[k] = solveMoorePenrose(a.m, want[k].v, n, threshold, notes);
                messages[k] = notes.messages;
            }
            for (InstructionSet set : lane_sets()) {
                std::vector<Vector10> got = rhs;
                std::vector<SolverNotes> notes(batch);
                std::vector<SolverNotes*> note_of(batch);
                std::vector<MoorePenroseLaneSystem> systems(batch);
                for (std::size_t k = 0; k < batch; ++k) {
                    systems[k] = {&input[k].m, &got[k].v, false};
                    note_of[k] = &notes[k];
                }
                solveMoorePenroseSideBySide(systems, n, threshold, note_of, set);
                for (std::size_t k = 0; k < batch; ++k) {
                    const auto where = [&] {
                        return std::string(instruction_set_name(set)) + " n=" + std::to_string(n) +
                               " system " + std::to_string(done + k) + " threshold " +
                               std::to_string(threshold);
                    };
                    ASSERT_EQ(systems[k].converged, converged[k] != 0) << where();
                    ASSERT_EQ(notes[k].messages, messages[k]) << where();
                    if (same_arrays(got[k].v, want[k].v)) continue;
                    for (int i = 0; i < 10; ++i)
                        ASSERT_TRUE(same_bits(got[k].v[i], want[k].v[i])) << where() << " x " << i;
                }
            }
        }
    }
}

// The lane form reads only its block: the matrices stay as they were.
TEST(svd_lanes, moore_penrose_leaves_the_matrices_alone) {
    Random r(5);
    for (InstructionSet set : lane_sets()) {
        std::vector<Matrix> input(11), kept;
        std::vector<Vector10> rhs(11);
        for (std::size_t k = 0; k < input.size(); ++k) make_system(6, 1, r, input[k].m, rhs[k].v);
        kept = input;
        std::vector<MoorePenroseLaneSystem> systems;
        std::vector<SolverNotes> notes(input.size());
        std::vector<SolverNotes*> note_of;
        for (std::size_t k = 0; k < input.size(); ++k) {
            systems.push_back({&input[k].m, &rhs[k].v, false});
            note_of.push_back(&notes[k]);
        }
        solveMoorePenroseSideBySide(systems, 6, -1.0, note_of, set);
        for (std::size_t k = 0; k < input.size(); ++k)
            for (int i = 0; i < 100; ++i) ASSERT_TRUE(same_bits(input[k].m[i], kept[k].m[i]));
    }
}
