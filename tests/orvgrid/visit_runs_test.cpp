#include "orvgrid/grid/visit_runs.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

#include "tests/support/random_surveys.h"

namespace {

constexpr double NaN = std::numeric_limits<double>::quiet_NaN();

// The sets with a layout of their own that this CPU runs.
std::vector<InstructionSet> vector_layouts() {
    std::vector<InstructionSet> sets;
    for (InstructionSet set : runnable_instruction_sets())
        if (set == InstructionSet::Avx2 || set == InstructionSet::Avx512) sets.push_back(set);
    return sets;
}

bool same(double a, double b) {
    return std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b);
}

// A cell column of points around a node column, with windows of node rows per cell row
// as the lattice lays them out, and the cases that sit on the edges of each test: points
// at exactly the reach radius across, on a node's ordinate, beyond the window, with NaN
// coordinates, and cell rows whose window is empty.
struct Column {
    std::vector<double> node_y, xs, ys, values;
    std::vector<std::uint32_t> rows, first, end;
    VisitRuns runs{};
    SlotPoints points{};
    double x = 0.0;
    bool distinct_ordinates = true;  // false far out, where node ordinates coincide

    Column(SurveyRandom& r, int variables) {
        const double spacing =
            std::ldexp(r.uniform(1.0, 2.0), static_cast<int>(r.next() % 40) - 20);
        // Far from the origin (1e15 to 1e17 spacings) the nodes' ordinates round to
        // several spacings, the estimate of a run misses by whole nodes and is widened.
        const double far[] = {1.0, 1.0, 1e9, 1e15, 1e16, 1e17};
        const double scale = far[r.next() % 6];
        const double origin = r.uniform(-1e3, 1e3) * spacing * scale;
        distinct_ordinates = scale < 1e15;
        const std::size_t node_rows = 1 + r.next() % 300;
        const auto reach_cells = static_cast<long long>(1 + r.next() % 12);
        for (std::size_t j = 0; j < node_rows + NODE_LANE_PADDING; ++j)
            node_y.push_back(static_cast<double>(j) * spacing + origin);
        const std::size_t cell_rows = node_rows;
        for (std::size_t iy = 0; iy < cell_rows; ++iy) {
            const long long row = static_cast<long long>(iy);
            const long long lo = std::max(0LL, row - reach_cells + 1);
            const long long hi = std::min(static_cast<long long>(node_rows), row + reach_cells + 1);
            first.push_back(static_cast<std::uint32_t>(lo));
            end.push_back(static_cast<std::uint32_t>(r.next() % 16 == 0 ? lo : hi));
        }
        const double reach = static_cast<double>(reach_cells) * spacing * r.uniform(0.7, 1.0);
        x = origin + r.uniform(0.0, static_cast<double>(node_rows)) * spacing;
        const std::size_t count = 1 + r.next() % 200;
        for (std::size_t s = 0; s < count; ++s) {
            double px = x + r.uniform(-1.3, 1.3) * reach;
            auto row = static_cast<std::uint32_t>(r.next() % cell_rows);
            double py = origin + (static_cast<double>(row) + r.uniform(-0.5, 0.5)) * spacing;
            switch (r.next() % 12) {
                case 0:
                    px = x + 0.001 - reach;
                    break;  // dx exactly at the reach
                case 1:
                    px = x + 0.001 + reach;
                    break;
                case 2:
                    py = node_y[row];
                    break;  // on a node's ordinate
                case 3:
                    py = node_y[row] + 0.001;
                    break;
                case 4:
                    px = NaN;
                    break;
                case 5:
                    py = NaN;
                    break;
                case 6:
                    px = x + 0.001;
                    break;  // dx = 0, the widest run
                default:
                    break;
            }
            xs.push_back(px);
            ys.push_back(py);
            rows.push_back(row);
        }
        // The first variable is the slot itself, which tells whose a visit is.
        for (std::size_t s = 0; s < count; ++s) values.push_back(static_cast<double>(s));
        for (int k = 1; k < variables; ++k)
            for (std::size_t s = 0; s < count; ++s) values.push_back(r.uniform(-100.0, 100.0));
        runs = {first.data(), end.data(),    node_y.data(), reach * (1.0 + 1e-6),
                origin,       1.0 / spacing, node_rows};
        points = {xs.data(), ys.data(), rows.data(), values.data(), count, variables};
    }
};

}  // namespace

// Each vector layout gives the plain layout's visits bit for bit: the same points, in
// slot order, with the same runs, distances and values, over 20,000 random columns
// (about two million points) of every scale and the adversarial points above, from any
// first slot.
TEST(VisitRunsTest, VectorLayoutsEqualPlainLayout) {
    const std::vector<InstructionSet> sets = vector_layouts();
    if (sets.empty()) GTEST_SKIP() << "this CPU has neither AVX2 nor AVX-512F";
    SurveyRandom r(20261209);
    std::size_t compared = 0, visits_seen = 0;
    for (int c = 0; c < 20000; ++c) {
        const Column column(r, 1 + static_cast<int>(r.next() % 3));
        const std::size_t count = column.points.slots;
        const std::size_t begin = r.next() % 3 == 0 ? r.next() % count : 0;
        std::vector<NodeVisit> plain(count), lanes(count);
        const std::size_t n_plain =
            lay_out_visits(InstructionSet::Scalar, column.runs, column.points, column.x, begin,
                           count, plain.data());
        for (InstructionSet set : sets) {
            const std::size_t n_lanes = lay_out_visits(set, column.runs, column.points, column.x,
                                                       begin, count, lanes.data());
            ASSERT_EQ(n_plain, n_lanes) << instruction_set_name(set) << ", column " << c;
            for (std::size_t v = 0; v < n_plain; ++v) {
                const NodeVisit& a = plain[v];
                const NodeVisit& b = lanes[v];
                ASSERT_TRUE(same(a.dx, b.dx) && same(a.py, b.py) && a.first == b.first &&
                            a.end == b.end)
                    << instruction_set_name(set) << ", column " << c << " visit " << v;
                for (int k = 0; k < column.points.variables; ++k)
                    ASSERT_TRUE(same(a.value[k], b.value[k]));
            }
        }
        compared += count - begin;
        visits_seen += n_plain;
    }
    EXPECT_GT(compared, 1'500'000u);
    EXPECT_GT(visits_seen, compared / 4);  // most points make a visit: the test is not empty
}

// A run holds every node of its window within the search radius, and few beyond: the
// layout saves the node sums the nodes it leaves out. Checked against the distances.
TEST(VisitRunsTest, RunsHoldEveryNodeWithinReachAndFewMore) {
    SurveyRandom r(7);
    for (int c = 0; c < 2000; ++c) {
        const Column column(r, 1);
        const std::size_t count = column.points.slots;
        std::vector<NodeVisit> visits(count);
        const std::size_t n = lay_out_visits(InstructionSet::Scalar, column.runs, column.points,
                                             column.x, 0, count, visits.data());
        const double radius = column.runs.reach_radius / (1.0 + 1e-6);
        std::size_t v = 0;
        for (std::size_t s = 0; s < count; ++s) {
            const double dx = column.x - column.xs[s] + 0.001;
            const double py = column.ys[s];
            const std::uint32_t row = column.rows[s];
            const auto within = [&](std::uint32_t j) {
                return std::hypot(dx, column.node_y[j] - py + 0.001) <= radius;
            };
            const bool visited = v < n && visits[v].value[0] == static_cast<double>(s);
            for (std::uint32_t j = column.first[row]; j < column.end[row]; ++j) {
                if (!within(j)) continue;
                ASSERT_TRUE(visited) << "column " << c << " slot " << s;
                ASSERT_GE(j, visits[v].first) << "column " << c << " slot " << s;
                ASSERT_LT(j, visits[v].end) << "column " << c << " slot " << s;
            }
            if (!visited) continue;
            const NodeVisit& run = visits[v++];
            // A NaN keeps the window; coinciding ordinates make runs of equal nodes.
            if (std::isnan(dx) || std::isnan(py) || !column.distinct_ordinates) continue;
            std::uint32_t leading = 0, trailing = 0;
            for (std::uint32_t j = run.first; j < run.end && !within(j); ++j) ++leading;
            for (std::uint32_t j = run.end; j > run.first && !within(j - 1); --j) ++trailing;
            if (leading == run.end - run.first) continue;  // no node within: a run of 1-2
            EXPECT_LE(leading, 2u) << "column " << c << " slot " << s;
            EXPECT_LE(trailing, 2u) << "column " << c << " slot " << s;
        }
        ASSERT_EQ(v, n);
    }
}
