// The prepared solver repeats only what depends on alpha; its solutions and norms must
// be those of solveRegularised and the plain matrix helpers, bit for bit, sign of zero
// included, and the whole L-curve (choice and trace text) must not change.

#include "engine/solvers/regularised_solver.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <deque>
#include <vector>

#include "tests/engine/fit_fixture.h"
#include "engine/solvers/l_curve.h"
#include "engine/solvers/matrix_ops.h"
#include "engine/solvers/tikhonov.h"
#include "engine/solvers/solver_notes.h"

namespace {

bool same_bits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

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
