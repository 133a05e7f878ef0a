// The shared elimination kernel against the three loops it replaced, kept here verbatim
// as the reference: solveGaussJordan, invertWithoutPivoting and the compact inversion of
// RegularisedSolver must give the same bits as before (NaN payloads and signs of zero
// included), on success and on failure alike, whatever the scale of the system.

#include "engine/solvers/elimination_kernel.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>
#include <type_traits>

#include "engine/solvers/gauss_jordan.h"
#include "engine/solvers/matrix_ops.h"
#include "engine/solvers/regularised_solver.h"
#include "engine/solvers/tikhonov.h"
#include "tests/engine/solver_oracle.h"

namespace {

// ---------------------------------------------------------------------------
// The loops as they were before the kernel.

bool referenceGaussJordan(SystemMatrix& matrix, SystemVector& rhs, int n) {
    for (int i = 0; i < n; ++i) {
        const double p = entry(matrix, i, i);
        if (!(std::fabs(p) > 0.0)) {
            rhs[0] = SOLVER_FAILED;
            return false;
        }
        for (int k = 0; k < n; ++k) entry(matrix, i, k) = entry(matrix, i, k) / p;
        rhs[i] = rhs[i] / p;
        for (int j = 0; j < n; ++j) {
            if (j == i) continue;
            const double f = entry(matrix, j, i);
            for (int k = 0; k < n; ++k)
                entry(matrix, j, k) = entry(matrix, j, k) - f * entry(matrix, i, k);
            rhs[j] = rhs[j] - f * rhs[i];
        }
    }
    return true;
}

bool referenceInvert(SystemMatrix& m, SystemMatrix& inverse, int n) {
    setIdentity(inverse, n);
    for (int i = 0; i < n; ++i) {
        const double p = entry(m, i, i);
        if (!(std::fabs(p) > 0.0)) return false;
        for (int k = 0; k < n; ++k) {
            entry(m, i, k) = entry(m, i, k) / p;
            entry(inverse, i, k) = entry(inverse, i, k) / p;
        }
        for (int j = 0; j < n; ++j) {
            if (j == i) continue;
            const double f = entry(m, j, i);
            for (int k = 0; k < n; ++k) {
                entry(m, j, k) = entry(m, j, k) - f * entry(m, i, k);
                entry(inverse, j, k) = entry(inverse, j, k) - f * entry(inverse, i, k);
            }
        }
    }
    return true;
}

template <int N>
bool referenceInvertCompact(double* m, double* inverse) {
    for (int i = 0; i < N; ++i)
        for (int k = 0; k < N; ++k) inverse[i * N + k] = i == k ? 1.0 : 0.0;
    for (int i = 0; i < N; ++i) {
        const double p = m[i * N + i];
        if (!(std::fabs(p) > 0.0)) return false;
        for (int k = 0; k < N; ++k) {
            m[i * N + k] = m[i * N + k] / p;
            inverse[i * N + k] = inverse[i * N + k] / p;
        }
        for (int j = 0; j < N; ++j) {
            if (j == i) continue;
            const double f = m[j * N + i];
            for (int k = 0; k < N; ++k) {
                m[j * N + k] = m[j * N + k] - f * m[i * N + k];
                inverse[j * N + k] = inverse[j * N + k] - f * inverse[i * N + k];
            }
        }
    }
    return true;
}

// The kernel as RegularisedSolver calls it: compact N x N arrays, shape fixed at compile
// time, the identity filled in first.
template <int N>
bool kernelInvertCompact(double* m, double* inverse) {
    for (int i = 0; i < N; ++i)
        for (int k = 0; k < N; ++k) inverse[i * N + k] = i == k ? 1.0 : 0.0;
    using Fixed = std::integral_constant<int, N>;
    return eliminateWithoutPivoting(m, Fixed{}, EliminatedRows<Fixed>{inverse, Fixed{}, Fixed{}},
                                    Fixed{});
}

// ---------------------------------------------------------------------------
// Systems.

template <std::size_t Count>
bool sameBits(const double (&a)[Count], const double (&b)[Count]) {
    return std::memcmp(a, b, sizeof a) == 0;
}

// A quiet NaN with a payload of its own, so that a NaN passed on from the wrong operand
// would show in the bits.
double nanWithPayload(std::uint64_t payload) {
    const std::uint64_t bits = 0x7ff8000000000000ull | (payload & 0x0007ffffffffffffull);
    double value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

enum class Kind {
    Uniform,         // entries in [-1, 1)
    Normal,          // B^T B + n I, as a local fit builds it
    Huge,            // near the top of the range: products overflow to infinity
    Tiny,            // near the bottom: quotients and products go subnormal or zero
    MixedScales,     // every entry 10^e with e anywhere in [-300, 300]
    SmallIntegers,   // -2..2: exact cancellations give zero pivots along the way
    ZeroPivot,       // one diagonal entry 0 or -0 from the start
    NaNPivot,        // one diagonal entry NaN from the start
    NaNEntry,        // a NaN (own payload) off the diagonal
    Infinite,        // an infinite entry
    SignedZeros,     // exact zeros of both signs scattered
    SubnormalPivot,  // a subnormal first pivot: passes the test, divides into infinity
    SingularMinor,   // rows 0 and 1 agree on their first two columns: the second pivot
                     // vanishes (or nearly so) though the whole block is regular
    KINDS
};

std::string kindName(Kind kind) {
    static const char* const names[] = {
        "uniform",        "normal",          "huge",          "tiny",      "mixed scales",
        "small integers", "zero pivot",      "NaN pivot",     "NaN entry", "infinite",
        "signed zeros",   "subnormal pivot", "singular minor"};
    return names[static_cast<int>(kind)];
}

// The leading n x n block and the first n right-hand sides of the given kind; the rest of
// both arrays holds NaNs of other payloads, which the elimination must leave as they are.
void fillSystem(Kind kind, int n, TestValues& values, SystemMatrix& a, SystemVector& b) {
    for (int i = 0; i < 100; ++i) a[i] = nanWithPayload(1000 + static_cast<std::uint64_t>(i));
    for (int i = 0; i < 10; ++i) b[i] = nanWithPayload(2000 + static_cast<std::uint64_t>(i));
    const auto scaled = [&](double low_exponent, double high_exponent) {
        const double e = low_exponent + (high_exponent - low_exponent) * (values.next() + 1) / 2;
        return values.next() * std::pow(10.0, e);
    };
    if (kind == Kind::Normal) {
        SystemMatrix normal;
        fillNormalMatrix(normal, n, values);
        for (int i = 0; i < n; ++i)
            for (int k = 0; k < n; ++k) a[i * 10 + k] = normal[i * 10 + k];
    } else {
        for (int i = 0; i < n; ++i)
            for (int k = 0; k < n; ++k) {
                double v = values.next();
                if (kind == Kind::Huge) v = scaled(290, 308);
                if (kind == Kind::Tiny) v = scaled(-320, -290);
                if (kind == Kind::MixedScales) v = scaled(-300, 300);
                if (kind == Kind::SmallIntegers) v = std::round(2.5 * v);
                if (kind == Kind::SignedZeros && (i * 7 + k * 3) % 4 == 0)
                    v = values.next() < 0 ? -0.0 : 0.0;
                a[i * 10 + k] = v;
            }
    }
    const int at = static_cast<int>((values.next() + 1) / 2 * n) % n;
    const int other = (at + 1) % n;
    switch (kind) {
        case Kind::ZeroPivot:
            a[at * 10 + at] = values.next() < 0 ? -0.0 : 0.0;
            break;
        case Kind::NaNPivot:
            a[at * 10 + at] = nanWithPayload(77);
            break;
        case Kind::NaNEntry:
            a[at * 10 + other] = nanWithPayload(78);
            break;
        case Kind::Infinite:
            a[other * 10 + at] = values.next() < 0 ? -std::numeric_limits<double>::infinity()
                                                   : std::numeric_limits<double>::infinity();
            break;
        case Kind::SubnormalPivot:
            a[0] = 3e-320;
            break;
        case Kind::SingularMinor:
            if (n >= 2) {
                a[10] = a[0];
                a[11] = a[1];
            }
            break;
        default:
            break;
    }
    for (int i = 0; i < n; ++i) {
        b[i] = kind == Kind::Huge   ? scaled(290, 308)
               : kind == Kind::Tiny ? scaled(-320, -290)
                                    : values.next() * 100;
    }
    if (kind == Kind::NaNEntry) b[n - 1] = nanWithPayload(79);
}

constexpr int SIZES[] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
constexpr int SYSTEMS_PER_KIND = 40;

template <int N>
void compareCompact(const SystemMatrix& a, const std::string& label, int& failures) {
    double reference_m[N * N], kernel_m[N * N], reference_inverse[N * N], kernel_inverse[N * N];
    for (int i = 0; i < N; ++i)
        for (int k = 0; k < N; ++k) reference_m[i * N + k] = kernel_m[i * N + k] = a[i * 10 + k];
    // Both start from the same leftovers, so that a stray write would show.
    for (int i = 0; i < N * N; ++i)
        reference_inverse[i] = kernel_inverse[i] =
            nanWithPayload(3000 + static_cast<std::uint64_t>(i));
    const bool reference_ok = referenceInvertCompact<N>(reference_m, reference_inverse);
    const bool kernel_ok = kernelInvertCompact<N>(kernel_m, kernel_inverse);
    const bool same = reference_ok == kernel_ok && sameBits(reference_m, kernel_m) &&
                      sameBits(reference_inverse, kernel_inverse);
    EXPECT_TRUE(same) << label;
    if (!same) ++failures;
}

void compareCompactOfSize(int n, const SystemMatrix& a, const std::string& label, int& failures) {
    switch (n) {
        case 1:
            return compareCompact<1>(a, label, failures);
        case 2:
            return compareCompact<2>(a, label, failures);
        case 3:
            return compareCompact<3>(a, label, failures);
        case 4:
            return compareCompact<4>(a, label, failures);
        case 5:
            return compareCompact<5>(a, label, failures);
        case 6:
            return compareCompact<6>(a, label, failures);
        case 7:
            return compareCompact<7>(a, label, failures);
        case 8:
            return compareCompact<8>(a, label, failures);
        case 9:
            return compareCompact<9>(a, label, failures);
        case 10:
            return compareCompact<10>(a, label, failures);
    }
}

// Runs check(a, b, n, label, failures) over every kind and size, SYSTEMS_PER_KIND
// systems each; stops after a few failures, so that one fault does not flood the log.
template <class Check>
void overAllSystems(std::uint64_t seed, Check check) {
    TestValues values(seed);
    int failures = 0;
    for (int kind = 0; kind < static_cast<int>(Kind::KINDS); ++kind)
        for (int n : SIZES)
            for (int s = 0; s < SYSTEMS_PER_KIND && failures < 5; ++s) {
                SystemMatrix a;
                SystemVector b;
                fillSystem(static_cast<Kind>(kind), n, values, a, b);
                const std::string label = kindName(static_cast<Kind>(kind)) +
                                          " n=" + std::to_string(n) + " #" + std::to_string(s);
                check(a, b, n, label, failures);
            }
}

}  // namespace

TEST(elimination_kernel, gauss_jordan_gives_the_bits_of_the_former_loop) {
    int solved = 0, refused = 0;
    overAllSystems(101, [&](const SystemMatrix& a, const SystemVector& b, int n,
                            const std::string& label, int& failures) {
        SystemMatrix reference_a, kernel_a;
        SystemVector reference_b, kernel_b;
        std::memcpy(reference_a, a, sizeof a);
        std::memcpy(kernel_a, a, sizeof a);
        std::memcpy(reference_b, b, sizeof b);
        std::memcpy(kernel_b, b, sizeof b);
        const bool reference_ok = referenceGaussJordan(reference_a, reference_b, n);
        const bool kernel_ok = solveGaussJordan(kernel_a, kernel_b, n);
        const bool same = reference_ok == kernel_ok && sameBits(reference_a, kernel_a) &&
                          sameBits(reference_b, kernel_b);
        EXPECT_TRUE(same) << label;
        if (!same) ++failures;
        ++(reference_ok ? solved : refused);
    });
    // Both ways out of the elimination were taken many times.
    EXPECT_GT(solved, 1000);
    EXPECT_GT(refused, 1000);
}

TEST(elimination_kernel, inversion_gives_the_bits_of_the_former_loop) {
    int inverted = 0, refused = 0;
    overAllSystems(202, [&](const SystemMatrix& a, const SystemVector&, int n,
                            const std::string& label, int& failures) {
        SystemMatrix reference_a, kernel_a, reference_inverse, kernel_inverse;
        std::memcpy(reference_a, a, sizeof a);
        std::memcpy(kernel_a, a, sizeof a);
        for (int i = 0; i < 100; ++i)
            reference_inverse[i] = kernel_inverse[i] =
                nanWithPayload(4000 + static_cast<std::uint64_t>(i));
        const bool reference_ok = referenceInvert(reference_a, reference_inverse, n);
        const bool kernel_ok = invertWithoutPivoting(kernel_a, kernel_inverse, n);
        const bool same = reference_ok == kernel_ok && sameBits(reference_a, kernel_a) &&
                          sameBits(reference_inverse, kernel_inverse);
        EXPECT_TRUE(same) << label;
        if (!same) ++failures;
        ++(reference_ok ? inverted : refused);
    });
    EXPECT_GT(inverted, 1000);
    EXPECT_GT(refused, 1000);
}

TEST(elimination_kernel, compact_inversion_gives_the_bits_of_the_former_loop) {
    overAllSystems(303,
                   [&](const SystemMatrix& a, const SystemVector&, int n, const std::string& label,
                       int& failures) { compareCompactOfSize(n, a, label, failures); });
}

// The compact inversion inside RegularisedSolver, reached through its public face: its
// solutions stay those of solveRegularised (whose inversion is checked above) on the same
// adversarial systems, down to the bits.
TEST(elimination_kernel, regularised_solver_keeps_the_bits_of_solve_regularised) {
    const double alphas[] = {0.0, -0.0, 1e-10, 0.5, 1e10};
    overAllSystems(404, [&](const SystemMatrix& a, const SystemVector& b, int n,
                            const std::string& label, int& failures) {
        const RegularisedSolver solver(a, n);
        for (double alpha : alphas) {
            SystemVector want = {}, got = {};
            const bool want_ok = solveRegularised(a, b, alpha, n, want);
            const bool got_ok = solver.solve(b, alpha, got);
            const bool same = want_ok == got_ok && (!want_ok || sameBits(want, got));
            EXPECT_TRUE(same) << label << " alpha=" << alpha;
            if (!same) ++failures;
        }
    });
}
