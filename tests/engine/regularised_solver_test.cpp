// The prepared solver repeats only what depends on alpha; its solutions and norms must
// be those of solveRegularised and the plain matrix helpers, bit for bit, sign of zero
// included, and the whole L-curve (choice and trace text) must not change.

#include "engine/solvers/regularised_solver.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <string>
#include <vector>

#include "tests/engine/fit_fixture.h"
#include "engine/solvers/l_curve.h"
#include "engine/solvers/matrix_ops.h"
#include "engine/solvers/tikhonov.h"
#include "engine/simd/instruction_set.h"
#include "engine/solvers/solver_notes.h"

namespace {

bool same_bits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// Systems of each size and kind the lane test tries: ORVANE_REGULARISED_REPEATS, else 25
// (about 350 000 solutions compared with three instruction sets).
int repeats_to_try() {
    if (const char* text = std::getenv("ORVANE_REGULARISED_REPEATS")) return std::atoi(text);
    return 25;
}

// Systems of every size: normal matrices of scattered rows, rank-deficient ones (a zero
// column), and ones with exact zeros and negative zeros among their entries.
std::vector<SystemMatrix*> systems_of(int n, Lcg& random, std::deque<LocalSystem>& store) {
    std::vector<SystemMatrix*> out;
    for (int kind = 0; kind < 4; ++kind) {
        SystemMatrix* a = &store.emplace_back().matrix;
        for (int i = 0; i < n; ++i)
            for (int k = 0; k < n; ++k) {
                double v = random.uniform(-50, 50);
                if (kind == 1 && k == n - 1) v = 0.0;
                if (kind == 2 && (i + k) % 3 == 0) v = (i % 2) ? -0.0 : 0.0;
                if (kind == 3) v = random.uniform(-1, 1) * std::pow(10.0, random.uniform(-8, 8));
                (*a)[i * 10 + k] = v;
            }
        out.push_back(a);
    }
    return out;
}

}  // namespace

TEST(regularised_solver, solutions_and_norms_equal_the_plain_helpers) {
    Lcg random(41);
    std::deque<LocalSystem> store;
    const double alphas[] = {0.0, 1e-10, 3e-7, 0.5, 2.0, 1e4, 1e10, -0.0};
    int compared = 0;
    for (int n = 1; n <= 10; ++n) {
        for (SystemMatrix* a : systems_of(n, random, store)) {
            SystemVector b = {};
            for (int i = 0; i < n; ++i) b[i] = random.uniform(-10, 10);
            const RegularisedSolver solver(*a, n);
            for (double alpha : alphas) {
                SystemVector want = {}, got = {};
                const bool ok = solveRegularised(*a, b, alpha, n, want);
                ASSERT_EQ(solver.solve(b, alpha, got), ok) << n << " " << alpha;
                if (!ok) continue;
                for (int i = 0; i < 10; ++i)
                    ASSERT_TRUE(same_bits(got[i], want[i])) << n << " " << alpha << " " << i;
                SystemVector fitted = {}, residual = {};
                multiplyMatrixVector(*a, want, fitted, n);
                subtractVectors(fitted, b, residual, n);
                double residual_norm = 0, solution_norm = 0;
                solver.norms(b, got, residual_norm, solution_norm);
                ASSERT_TRUE(same_bits(residual_norm, euclideanNorm(residual, n)));
                ASSERT_TRUE(same_bits(solution_norm, euclideanNorm(want, n)));
                ++compared;
            }
        }
    }
    EXPECT_GT(compared, 200);
}

// The L-curve of solveTikhonov against one built from solveRegularised for every alpha,
// as the solver was first written: same coefficients, same trace text.
TEST(regularised_solver, l_curve_choice_and_trace_are_unchanged) {
    Lcg random(5);
    std::deque<LocalSystem> store;
    RunSettings s;
    s.sv_threshold = -1.0;
    for (int n : {3, 4, 6, 10}) {
        for (SystemMatrix* a : systems_of(n, random, store)) {
            SystemVector b = {};
            for (int i = 0; i < n; ++i) b[i] = random.uniform(-10, 10);

            std::vector<double> X, Y, solved;
            for (double alpha : regularisationAlphas(s)) {
                SystemVector x = {}, fitted = {}, residual = {};
                if (!solveRegularised(*a, b, alpha, n, x)) continue;
                multiplyMatrixVector(*a, x, fitted, n);
                subtractVectors(fitted, b, residual, n);
                X.push_back(std::log10(euclideanNorm(residual, n)));
                Y.push_back(std::log10(euclideanNorm(x, n)));
                solved.push_back(alpha);
            }
            SolverNotes want_notes;
            const double chosen = chooseAlphaByLCurve(X, Y, solved, 42.0, true, s, want_notes);
            SystemVector want = {};
            const bool ok = solveRegularised(*a, b, chosen, n, want);

            SystemVector got = {};
            for (int i = 0; i < n; ++i) got[i] = b[i];
            SolverNotes got_notes;
            ASSERT_EQ(solveTikhonov(*a, got, n, 42.0, true, s, got_notes), ok ? 1 : 0);
            EXPECT_EQ(got_notes.trace, want_notes.trace) << n;
            if (!ok) continue;
            for (int i = 0; i < n; ++i) ASSERT_TRUE(same_bits(got[i], want[i])) << n << " " << i;
        }
    }
}

// The lane forms against the scalar form, every vector path this CPU runs: ordinary
// systems and hostile ones (a zero row or column, so that alpha 0 meets a zero pivot;
// entries at the ends of the double range, so that products overflow or vanish and the
// elimination meets infinite factors; signed zeros; NaN and infinity), alpha runs of
// every length (the last batch partly filled) and alphas that are zero, negative, tiny,
// huge or NaN. Flags, solutions and norms must be the same bits.
TEST(regularised_solver, every_vector_path_gives_the_scalar_bits) {
    Lcg random(2026);
    RunSettings s;
    std::vector<double> alphas = regularisationAlphas(s);
    for (double special : {0.0, -0.0, 1e-300, 1e300, -1.0, -1e-12, std::nan(""), 1e308 * 10})
        alphas.push_back(special);
    const std::vector<InstructionSet> sets = runnable_instruction_sets();
    std::vector<AlphaSolution> want(alphas.size()), got(alphas.size());
    int compared = 0, failed_lanes = 0;
    const int repeats = repeats_to_try();
    for (int n = 1; n <= 10; ++n) {
        for (int kind = 0; kind < 16; ++kind) {
            for (int repeat = 0; repeat < repeats; ++repeat) {
                LocalSystem system;
                SystemMatrix& a = system.matrix;
                const int special_row = static_cast<int>(random.uniform(0, n));
                for (int i = 0; i < n; ++i)
                    for (int k = 0; k < n; ++k) {
                        double v = random.uniform(-50, 50);
                        if (kind == 1 && k == special_row) v = 0.0;
                        if (kind == 2 && i == special_row) v = 0.0;
                        if (kind == 3) v *= std::pow(10.0, random.uniform(-160, 160));
                        if (kind == 4 && (i + k) % 2 == 0) v = (i % 2) ? -0.0 : 0.0;
                        if (kind == 5 && i == special_row && k == special_row) v = std::nan("");
                        if (kind == 6 && i == special_row && k == 0) v = -1e308 * 10;
                        if (kind == 7) v = std::round(v / 25.0);  // small integers, exact cancellations
                        if (kind == 8 && k == special_row) v = a[i * 10 + 0];  // two equal columns
                        if (kind == 9 && i == special_row && k != i) v = (k % 2 ? 1 : -1) * 1e308 * 10;
                        if (kind == 10 && i == special_row) v *= 1e305;  // overflows in the steps
                        if (kind == 11 && k == special_row && i != k) v = 1e308 * 10;
                        if (kind == 12) v *= std::pow(10.0, random.uniform(-300, 300));
                        // Columns and entries of wildly different scales: the products of
                        // the elimination overflow in lanes that go on to solve.
                        if (kind == 13) v *= std::pow(10.0, 40.0 * ((k * 7 + special_row) % 8) - 150.0);
                        if (kind == 14) v *= std::pow(10.0, 35.0 * ((i * 5 + k * 3 + special_row) % 9) - 150.0);
                        if (kind == 15) v *= std::pow(10.0, random.uniform(-154, 154));
                        a[i * 10 + k] = v;
                    }
                SystemVector b = {};
                for (int i = 0; i < n; ++i) b[i] = kind == 4 && i % 3 == 0 ? -0.0 : random.uniform(-10, 10);
                const RegularisedSolver solver(a, n);
                const auto count = static_cast<std::size_t>(
                    repeat == 0 ? alphas.size() : 1 + (repeat * 7) % alphas.size());
                solver.solve_each(b, alphas.data(), count, want.data(), InstructionSet::Scalar);
                for (InstructionSet set : sets) {
                    solver.solve_each(b, alphas.data(), count, got.data(), set);
                    for (std::size_t j = 0; j < count; ++j) {
                        const std::string where = std::string(instruction_set_name(set)) +
                                                  " n " + std::to_string(n) + " kind " +
                                                  std::to_string(kind) + " alpha " +
                                                  std::to_string(j);
                        ASSERT_EQ(got[j].solved, want[j].solved) << where;
                        if (!want[j].solved) {
                            ++failed_lanes;
                            continue;
                        }
                        for (int i = 0; i < 10; ++i)
                            ASSERT_TRUE(same_bits(got[j].x[i], want[j].x[i])) << where << " x" << i;
                        ASSERT_TRUE(same_bits(got[j].residual_norm, want[j].residual_norm)) << where;
                        ASSERT_TRUE(same_bits(got[j].solution_norm, want[j].solution_norm)) << where;
                        ++compared;
                    }
                }
            }
        }
    }
    EXPECT_GT(compared, 4000 * repeats);
    EXPECT_GT(failed_lanes, 100);  // the zero pivots were reached
}

// The scalar path of solve_each is solve() and norms() alpha by alpha.
TEST(regularised_solver, solve_each_is_solve_and_norms) {
    Lcg random(77);
    SystemMatrix a = {};
    for (int i = 0; i < 4; ++i)
        for (int k = 0; k < 4; ++k) a[i * 10 + k] = random.uniform(-5, 5);
    a[0 * 10 + 2] = a[1 * 10 + 2] = a[2 * 10 + 2] = a[3 * 10 + 2] = 0.0;  // alpha 0 fails
    const SystemVector b = {1, -2, 3, -4};
    const RegularisedSolver solver(a, 4);
    const double alphas[] = {0.0, 1e-3, 2.5};
    AlphaSolution out[3];
    solver.solve_each(b, alphas, 3, out, InstructionSet::Scalar);
    EXPECT_FALSE(out[0].solved);
    for (int j = 1; j < 3; ++j) {
        SystemVector x = {};
        ASSERT_TRUE(solver.solve(b, alphas[j], x));
        double residual_norm = 0, solution_norm = 0;
        solver.norms(b, x, residual_norm, solution_norm);
        EXPECT_TRUE(out[j].solved);
        for (int i = 0; i < 10; ++i) EXPECT_TRUE(same_bits(out[j].x[i], x[i]));
        EXPECT_TRUE(same_bits(out[j].residual_norm, residual_norm));
        EXPECT_TRUE(same_bits(out[j].solution_norm, solution_norm));
    }
}
