// orvane-kernel-bench: the gridding's inner kernels on one cell column of points, in
// this process's memory, with every instruction set the CPU runs. A whole run's time on
// this kind of machine wanders by a third from run to run (the host's page zeroing);
// these kernels touch no fresh memory, so their figures wander far less. The host still
// slows the whole VM at times: compare two forms of a kernel in alternation, by medians.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "engine/simd/exact_hypot.h"
#include "engine/simd/instruction_set.h"
#include "orvgrid/grid/node_visits.h"
#include "orvgrid/grid/visit_runs.h"

namespace {

// The lattice of a default run: nodes one cell apart, a cell a tenth of the search
// radius, the window ten cells each way; 333 points a cell column, as a million points
// give on their 3000 columns.
constexpr double CELL = 15.0;
constexpr double RADIUS = 10.0 * CELL;
constexpr long long REACH = 10;
constexpr std::uint32_t CELL_ROWS = 3000;
constexpr std::uint32_t POINTS = 333;

struct CellColumn {
    std::vector<double> node_y;
    std::vector<std::uint32_t> row_nodes_first, row_nodes_end;
    std::vector<double> xs, ys, values;  // in slot order: rows upward
    std::vector<std::uint32_t> rows;

    VisitRuns runs() const {
        return {row_nodes_first.data(), row_nodes_end.data(), node_y.data(), RADIUS * (1.0 + 1e-6),
                0.0,                    1.0 / CELL,           CELL_ROWS};
    }
    SlotPoints slots(int variables) const {
        return {xs.data(), ys.data(), rows.data(), values.data(), xs.size(), variables};
    }
};

const CellColumn& cell_column() {
    static const CellColumn column = [] {
        CellColumn c;
        for (std::size_t j = 0; j < CELL_ROWS + NODE_LANE_PADDING; ++j)
            c.node_y.push_back(static_cast<double>(j) * CELL);
        const long long rows = CELL_ROWS;
        for (long long r = 0; r < rows; ++r) {
            c.row_nodes_first.push_back(static_cast<std::uint32_t>(std::max(0LL, r - REACH + 1)));
            c.row_nodes_end.push_back(static_cast<std::uint32_t>(std::min(rows, r + REACH + 1)));
        }
        std::mt19937_64 random(20261209);
        std::uniform_real_distribution<double> unit(0.0, 1.0);
        std::vector<double> y(POINTS);
        for (double& v : y) v = unit(random) * (CELL_ROWS - 1) * CELL;
        std::sort(y.begin(), y.end());
        for (double v : y) {
            c.xs.push_back((unit(random) - 0.5) * CELL);
            c.ys.push_back(v);
            c.rows.push_back(static_cast<std::uint32_t>(std::floor(v / CELL + 0.5)));
        }
        for (int k = 0; k < MAX_SWEPT_VARIABLES; ++k)
            for (std::uint32_t p = 0; p < POINTS; ++p) c.values.push_back(unit(random) * 100.0);
        return c;
    }();
    return column;
}

// The node columns whose window holds the cell column: x from -REACH to REACH cells.
std::vector<double> node_xs() {
    std::vector<double> xs;
    for (long long i = -REACH; i <= REACH; ++i) xs.push_back(static_cast<double>(i) * CELL);
    return xs;
}

void skip_unless_runnable(benchmark::State& state, InstructionSet set) {
    const std::vector<InstructionSet> sets = runnable_instruction_sets();
    if (std::find(sets.begin(), sets.end(), set) == sets.end())
        state.SkipWithError("this CPU does not run the instruction set");
}

void lay_out(benchmark::State& state, InstructionSet set) {
    skip_unless_runnable(state, set);
    const CellColumn& c = cell_column();
    const VisitRuns runs = c.runs();
    const SlotPoints points = c.slots(1);
    std::vector<NodeVisit> visits(POINTS);
    std::size_t laid = 0;
    for (auto _ : state) {
        for (double x : node_xs()) {
            laid += lay_out_visits(set, runs, points, x, 0, POINTS, visits.data());
            benchmark::DoNotOptimize(visits.data());
        }
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(laid));
}

void node_sums(benchmark::State& state, InstructionSet set, int variables) {
    skip_unless_runnable(state, set);
    const CellColumn& c = cell_column();
    const VisitRuns runs = c.runs();
    const SlotPoints points = c.slots(variables);
    std::vector<std::vector<NodeVisit>> columns;
    std::size_t pairs = 0;
    for (double x : node_xs()) {
        std::vector<NodeVisit> visits(POINTS);
        visits.resize(lay_out_visits(InstructionSet::Scalar, runs, points, x, 0, POINTS,
                                     visits.data()));
        for (const NodeVisit& v : visits) pairs += v.end - v.first;
        columns.push_back(std::move(visits));
    }
    const std::size_t stride = CELL_ROWS + NODE_LANE_PADDING;
    std::vector<double> sums((1 + MAX_SWEPT_VARIABLES) * stride, 0.0);
    const NodeSums node_sums{sums.data(),
                             {sums.data() + stride, sums.data() + 2 * stride, sums.data() + 3 * stride}};
    const NodeColumnShape shape{c.node_y.data(), RADIUS, variables};
    std::size_t visited = 0;
    for (auto _ : state) {
        for (const std::vector<NodeVisit>& visits : columns) {
            add_node_visits(set, shape, visits.data(), visits.size(), node_sums);
            visited += visits.size();
        }
        benchmark::DoNotOptimize(sums.data());
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(visited));
    state.counters["nodes/visit"] =
        static_cast<double>(pairs) / static_cast<double>(std::max<std::size_t>(1, visited) /
                                                         std::max<std::size_t>(1, state.iterations()));
}

void distances(benchmark::State& state, InstructionSet set) {
    skip_unless_runnable(state, set);
    std::mt19937_64 random(7);
    std::uniform_real_distribution<double> leg(-RADIUS, RADIUS);
    std::vector<double> dx(1 << 14), dy(1 << 14), d(1 << 14);
    for (std::size_t k = 0; k < dx.size(); ++k) {
        dx[k] = leg(random);
        dy[k] = leg(random);
    }
    for (auto _ : state) {
        exact_hypot(set, dx.data(), dy.data(), d.data(), d.size());
        benchmark::DoNotOptimize(d.data());
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * d.size()));
}

const bool registered = [] {
    for (InstructionSet set : {InstructionSet::Scalar, InstructionSet::Sse2, InstructionSet::Avx2,
                               InstructionSet::Avx512}) {
        const std::string name(instruction_set_name(set));
        benchmark::RegisterBenchmark(("lay_out_visits/" + name).c_str(), lay_out, set);
        for (int variables = 1; variables <= MAX_SWEPT_VARIABLES; ++variables)
            benchmark::RegisterBenchmark(
                ("node_sums/" + name + "/" + std::to_string(variables)).c_str(), node_sums, set,
                variables);
        benchmark::RegisterBenchmark(("exact_hypot/" + name).c_str(), distances, set);
    }
    return true;
}();

}  // namespace

BENCHMARK_MAIN();
