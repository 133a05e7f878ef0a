#include "orvgrid/grid/node_columns.h"

#include <algorithm>
#include <atomic>
#include <bit>
#include <cmath>
#include <limits>
#include <new>

#include "engine/memory/populated_resize.h"
#include "engine/run/split_work.h"
#include "engine/simd/exact_hypot.h"
#include "orvgrid/grid/node_visits.h"
#include "orvgrid/grid/visit_runs.h"
#include "orvgrid/raster.h"

namespace {

constexpr double INFINITE = std::numeric_limits<double>::infinity();

// ceil(Rg / c), held within 0 .. nx + ny + 1 so that a huge radius cannot overflow the
// integer (such a window already spans the whole lattice).
long long window_reach(double grid_radius, double cell_size, std::size_t nx, std::size_t ny) {
    const double reach = std::ceil(grid_radius / cell_size);
    const double widest = static_cast<double>(nx + ny + 1);
    if (!(reach > 0.0)) return 0;
    return static_cast<long long>(std::min(reach, widest));
}

// hypot is within one unit in the last place of the exact distance, which is at least
// |dx| and |dy|; a margin of a millionth leaves no doubt. Outside 1e-150 .. 1e150, where
// its square could leave the range of doubles, no bound is taken and every node of a
// window computes its distance.
double reach_radius_for(double search_radius) {
    if (search_radius > 1e-150 && search_radius < 1e150) return search_radius * (1.0 + 1e-6);
    return INFINITE;
}

// The index cell that holds a node at `coordinate` along one axis, by the index's
// binning rule, kept within -reach - 1 .. n + reach: every window beyond is empty anyway.
long long cell_along(double coordinate, double origin, double cell_size, std::size_t n,
                     long long reach) {
    const double cell = std::floor((coordinate - origin + 0.5 * cell_size) / cell_size);
    const double low = -static_cast<double>(reach) - 1.0;
    const double high = static_cast<double>(n) + static_cast<double>(reach);
    if (!(cell > low)) return static_cast<long long>(low);
    if (cell > high) return static_cast<long long>(high);
    return static_cast<long long>(cell);
}

VisitRuns visit_runs_of(const NodeLattice& lattice) {
    return {lattice.row_nodes_first.data(),
            lattice.row_nodes_end.data(),
            lattice.node_y.data(),
            lattice.reach_radius,
            lattice.nodes.origin_y,
            lattice.per_node,
            lattice.nodes.ny};
}

// The points of the slot-order copy, column by column.
struct CopiedPoints {
    const NodeLattice& lattice;
    // The visits of cell column ix's points seen from the node column at x; how many.
    std::size_t lay_out(const VisitRuns& runs, double x, std::size_t ix, NodeVisit* visits) const {
        const ClusterIndex& index = *lattice.index;
        const SlotPoints copy{lattice.xs.data(),   lattice.ys.data(),
                              lattice.rows.data(), lattice.values.data(),
                              lattice.xs.size(),   static_cast<int>(lattice.positions.size())};
        return lay_out_visits(lattice.instruction_set, runs, copy, x, index.slot_begin(ix, 0),
                              index.slot_begin(ix, index.ny()), visits);
    }
};

// The point records themselves, reached through the index's slots cell by cell.
struct RecordPoints {
    const NodeLattice& lattice;
    std::size_t lay_out(const VisitRuns& runs, double x, std::size_t ix, NodeVisit* visits) const {
        const ClusterIndex& index = *lattice.index;
        const std::uint32_t* slots = index.slot_points().data();
        const int variables = static_cast<int>(lattice.positions.size());
        std::size_t count = 0;
        index.for_each_slot_of_column(ix, [&](std::size_t s, std::size_t iy) {
            const double* v = lattice.points->work[slots[s]].value;
            NodeVisit& visit = visits[count];
            if (!visit_of(runs, x, v[work::x], v[work::y], static_cast<std::uint32_t>(iy), visit))
                return;
            for (int k = 0; k < variables; ++k) visit.value[k] = v[lattice.positions[k]];
            ++count;
        });
        return count;
    }
};

// Turns the visits' runs of node rows into runs of chosen rows, dropping the visits that
// reach none; the others keep their order.
std::size_t onto_chosen_rows(const ChosenRows& rows, NodeVisit* visits, std::size_t count) {
    std::size_t kept = 0;
    for (std::size_t v = 0; v < count; ++v) {
        NodeVisit visit = visits[v];
        visit.first = rows.below[visit.first];
        visit.end = rows.below[visit.end];
        if (visit.first < visit.end) visits[kept++] = visit;
    }
    return kept;
}

// Sums the window's points into the nodes of column i (the chosen rows alone, when
// `chosen` is given): cell columns in increasing order, the points of each in slot order
// (rows upward, stored order within a cell). Each node thus takes its points in the order
// of its cells, columns outer and rows inner, and the sums are those of a node-by-node
// sum over its window.
template <class Points, class Value>
void fill_columns(const Points& points, const NodeLattice& lattice, std::size_t i,
                  Value* const* columns, const ChosenRows* chosen = nullptr) {
    const ClusterIndex& index = *lattice.index;
    const std::size_t ny = chosen != nullptr ? chosen->count() : lattice.nodes.ny;
    const long long nx = static_cast<long long>(index.nx());
    const int variables = static_cast<int>(lattice.positions.size());
    const std::size_t stride = ny + NODE_LANE_PADDING;
    // Kept from column to column: a fresh buffer each column would be handed back to
    // the system and faulted in anew every time.
    thread_local std::vector<double> sums;
    thread_local std::vector<NodeVisit> visits;
    sums.assign(static_cast<std::size_t>(1 + variables) * stride, 0.0);
    NodeSums node_sums{sums.data(), {}};
    for (int k = 0; k < variables; ++k)
        node_sums.weighted[k] = sums.data() + static_cast<std::size_t>(1 + k) * stride;
    const NodeColumnShape shape{chosen != nullptr ? chosen->node_y.data() : lattice.node_y.data(),
                                lattice.search_radius, variables};
    const VisitRuns runs = visit_runs_of(lattice);

    const double x = static_cast<double>(i) * lattice.nodes.cell_size + lattice.nodes.origin_x;
    const long long cell_x =
        lattice.nodes_on_index
            ? static_cast<long long>(i)
            : cell_along(x, index.origin_x(), index.cell_size(), index.nx(), lattice.reach);
    const double reach = lattice.reach_radius;
    // The window holds the node's own cell column, `reach` columns below it and
    // reach - 1 above.
    const long long ix_first = std::max(0LL, cell_x - lattice.reach);
    const long long ix_end = std::min(nx, cell_x + lattice.reach);
    for (long long ix = ix_first; ix < ix_end; ++ix) {
        const std::size_t column = static_cast<std::size_t>(ix);
        // x - xp + 0.001 falls as xp grows, step by rounded step: the column's extreme
        // points bound every dx in it.
        if (x - lattice.column_x_high[column] + 0.001 > reach) continue;
        if (x - lattice.column_x_low[column] + 0.001 < -reach) continue;
        const std::size_t in_column =
            index.slot_begin(column, index.ny()) - index.slot_begin(column, 0);
        if (visits.size() < in_column) visits.resize(in_column);
        std::size_t count = points.lay_out(runs, x, column, visits.data());
        if (chosen != nullptr) count = onto_chosen_rows(*chosen, visits.data(), count);
        add_node_visits(lattice.instruction_set, shape, visits.data(), count, node_sums);
    }

    for (std::size_t j = 0; j < ny; ++j) {
        const double weight = node_sums.weight[j];
        for (int k = 0; k < variables; ++k)
            columns[k][j] = static_cast<Value>(weight == 0.0 ? LATTICE_BLANK
                                                             : node_sums.weighted[k][j] / weight);
    }
}

// For each cell row of the index, the node rows whose window holds it: node j's window
// holds rows cell(j) - reach .. cell(j) + reach - 1, and cell(j) grows with j.
void lay_out_row_windows(NodeLattice& lattice) {
    const ClusterIndex& index = *lattice.index;
    const std::size_t cell_rows = index.ny();
    const long long node_rows = static_cast<long long>(lattice.nodes.ny);
    lattice.row_nodes_first.assign(cell_rows, 0);
    lattice.row_nodes_end.assign(cell_rows, 0);
    std::vector<long long> cell_of(lattice.nodes.ny);
    for (long long j = 0; j < node_rows; ++j)
        cell_of[static_cast<std::size_t>(j)] =
            lattice.nodes_on_index
                ? j
                : cell_along(lattice.node_y[static_cast<std::size_t>(j)], index.origin_y(),
                             index.cell_size(), cell_rows, lattice.reach);
    long long first = 0, end = 0;
    for (std::size_t iy = 0; iy < cell_rows; ++iy) {
        const long long row = static_cast<long long>(iy);
        while (first < node_rows && cell_of[static_cast<std::size_t>(first)] + lattice.reach <= row)
            ++first;
        if (end < first) end = first;
        while (end < node_rows && cell_of[static_cast<std::size_t>(end)] - lattice.reach <= row)
            ++end;
        lattice.row_nodes_first[iy] = static_cast<std::uint32_t>(first);
        lattice.row_nodes_end[iy] = static_cast<std::uint32_t>(end);
    }
}

// The work records come in slot order, which jumps across the point array: a record asked
// for some slots ahead is in the cache when its turn comes, and the memory fetches
// several at once instead of one after the other (a record spans two cache lines).
constexpr std::size_t RECORDS_AHEAD = 16;

inline void prefetch_record(const PointData& points, std::span<const std::uint32_t> slots,
                            std::size_t s) {
    if (s + RECORDS_AHEAD >= slots.size()) return;
    const char* record = reinterpret_cast<const char*>(&points.work[slots[s + RECORDS_AHEAD]]);
    __builtin_prefetch(record);
    __builtin_prefetch(record + 64);
}

// The copy in slot order, with each slot's cell row; false (nothing kept) without the
// memory for it. Each of `threads` threads copies the cell columns whose slots begin in
// its share of the slots (lattice.column_slots must be laid out).
bool copy_points(NodeLattice& lattice, unsigned threads) {
    const PointData& points = *lattice.points;
    const ClusterIndex& index = *lattice.index;
    const std::span<const std::uint32_t> slots = index.slot_points();
    const std::size_t positions = lattice.positions.size();
    try {
        assign_populated(lattice.xs, slots.size(), 0.0, threads);
        assign_populated(lattice.ys, slots.size(), 0.0, threads);
        assign_populated(lattice.rows, slots.size(), std::uint32_t{0}, threads);
        assign_populated(lattice.values, positions * slots.size(), 0.0, threads);
    } catch (const std::bad_alloc&) {
        release_storage(lattice.xs);
        release_storage(lattice.ys);
        release_storage(lattice.rows);
        release_storage(lattice.values);
        return false;
    }
    const std::vector<std::size_t>& starts = lattice.column_slots;
    split_work(slots.size(), threads, [&](std::size_t begin, std::size_t end) {
        const auto column_of = [&](std::size_t slot) {
            return static_cast<std::size_t>(
                std::lower_bound(starts.begin(), starts.end() - 1, slot) - starts.begin());
        };
        const std::size_t ix_end = column_of(end);
        for (std::size_t ix = column_of(begin); ix < ix_end; ++ix) {
            index.for_each_slot_of_column(ix, [&](std::size_t s, std::size_t iy) {
                prefetch_record(points, slots, s);
                const double* v = points.work[slots[s]].value;
                lattice.xs[s] = v[work::x];
                lattice.ys[s] = v[work::y];
                lattice.rows[s] = static_cast<std::uint32_t>(iy);
                for (std::size_t k = 0; k < positions; ++k)
                    lattice.values[k * slots.size() + s] = v[lattice.positions[k]];
            });
        }
    });
    return true;
}

// Where each cell column's slots begin, and the end of the last.
std::vector<std::size_t> column_slots_of(const ClusterIndex& index) {
    std::vector<std::size_t> starts(index.nx() + 1);
    for (std::size_t ix = 0; ix < index.nx(); ++ix) starts[ix] = index.slot_begin(ix, 0);
    starts[index.nx()] = index.nx() > 0 ? index.slot_begin(index.nx() - 1, index.ny()) : 0;
    return starts;
}

bool same_bits(double a, double b) {
    return std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b);
}

// Whether `lattice` was prepared on this index layout with these radii and nodes, from a
// copy of these points that is still there.
bool same_layout(const NodeLattice& lattice, const PointData& points, const ClusterIndex& index,
                 double search_radius, double grid_radius, const GridLattice& nodes) {
    return lattice.points == &points && lattice.index == &index && !lattice.xs.empty() &&
           lattice.xs.size() == index.slot_points().size() &&
           same_bits(lattice.search_radius, search_radius) &&
           lattice.reach == window_reach(grid_radius, index.cell_size(), index.nx(), index.ny()) &&
           lattice.index_nx == index.nx() && lattice.index_ny == index.ny() &&
           same_bits(lattice.index_origin_x, index.origin_x()) &&
           same_bits(lattice.index_origin_y, index.origin_y()) &&
           same_bits(lattice.index_cell_size, index.cell_size()) && lattice.nodes.nx == nodes.nx &&
           lattice.nodes.ny == nodes.ny && same_bits(lattice.nodes.origin_x, nodes.origin_x) &&
           same_bits(lattice.nodes.origin_y, nodes.origin_y) &&
           same_bits(lattice.nodes.cell_size, nodes.cell_size) &&
           std::ranges::equal(lattice.column_slots, column_slots_of(index));
}

// Hands each slot of the kept copy with its point's record to take(s, record), checking
// first that the slot still holds a point at the copied position; false as soon as one
// does not (the copy is then to be made afresh).
template <class Take>
bool for_each_copied_slot(const NodeLattice& lattice, unsigned threads, Take&& take) {
    const PointData& points = *lattice.points;
    const std::span<const std::uint32_t> slots = lattice.index->slot_points();
    std::atomic<bool> same{true};
    split_work(slots.size(), threads, [&](std::size_t begin, std::size_t end) {
        for (std::size_t s = begin; s < end; ++s) {
            prefetch_record(points, slots, s);
            const double* v = points.work[slots[s]].value;
            if (!same_bits(v[work::x], lattice.xs[s]) || !same_bits(v[work::y], lattice.ys[s])) {
                same.store(false, std::memory_order_relaxed);
                return;
            }
            take(s, v);
        }
    });
    return same.load();
}

// Copies the values of `positions` in slot order into the kept copy, checking on the way
// that every slot still holds a point at the copied position. With the positions and the
// index's layout unchanged, so are the cell rows: the index bins a point by its position.
bool take_values(NodeLattice& lattice, std::span<const int> positions, unsigned threads) {
    const std::size_t slots = lattice.index->slot_points().size();
    lattice.positions.assign(positions.begin(), positions.end());
    lattice.values.resize(positions.size() * slots);
    return for_each_copied_slot(lattice, threads, [&](std::size_t s, const double* v) {
        for (std::size_t k = 0; k < positions.size(); ++k)
            lattice.values[k * slots + s] = v[positions[k]];
    });
}

}  // namespace

bool refresh_lattice_values(NodeLattice& lattice, const PointData& points,
                            const ClusterIndex& index, int position,
                            std::span<const double> values, double search_radius,
                            double grid_radius, const GridLattice& nodes, unsigned threads) {
    if (!same_layout(lattice, points, index, search_radius, grid_radius, nodes) ||
        values.size() != lattice.xs.size() ||
        !for_each_copied_slot(lattice, threads, [](std::size_t, const double*) {}))
        return false;
    lattice.values.assign(values.begin(), values.end());
    lattice.positions.assign(1, position);
    return true;
}

std::span<const double> copied_values(const NodeLattice& lattice, int position) {
    const std::size_t slots = lattice.xs.size();
    if (slots == 0 || lattice.values.size() != lattice.positions.size() * slots) return {};
    for (std::size_t k = 0; k < lattice.positions.size(); ++k)
        if (lattice.positions[k] == position)
            return std::span<const double>(lattice.values).subspan(k * slots, slots);
    return {};
}

ChosenRows choose_rows(const NodeLattice& lattice, std::span<const std::uint32_t> rows) {
    ChosenRows chosen;
    chosen.below.assign(lattice.nodes.ny + 1, 0);
    std::size_t r = 0;
    for (std::size_t j = 0; j <= lattice.nodes.ny; ++j) {
        while (r < rows.size() && rows[r] < j) ++r;
        chosen.below[j] = static_cast<std::uint32_t>(r);
    }
    chosen.node_y.resize(rows.size() + NODE_LANE_PADDING);
    for (std::size_t k = 0; k < chosen.node_y.size(); ++k)
        chosen.node_y[k] = k < rows.size() ? lattice.node_y[rows[k]]
                           : k > 0         ? chosen.node_y[k - 1]
                                           : 0.0;
    return chosen;
}

void refresh_lattice(NodeLattice& lattice, const PointData& points, const ClusterIndex& index,
                     std::span<const int> positions, double search_radius, double grid_radius,
                     const GridLattice& nodes, unsigned threads) {
    try {
        if (same_layout(lattice, points, index, search_radius, grid_radius, nodes) &&
            take_values(lattice, positions, threads))
            return;
        prepare_lattice(lattice, points, index, positions, search_radius, grid_radius, nodes,
                        threads);
    } catch (...) {
        lattice = NodeLattice{};  // half prepared: nothing in it may be kept
        throw;
    }
}

void prepare_lattice(NodeLattice& lattice, const PointData& points, const ClusterIndex& index,
                     std::span<const int> positions, double search_radius, double grid_radius,
                     const GridLattice& nodes, unsigned threads) {
    lattice.points = &points;
    lattice.index = &index;
    lattice.positions.assign(positions.begin(), positions.end());
    lattice.search_radius = search_radius;
    lattice.reach_radius = reach_radius_for(search_radius);
    lattice.reach = window_reach(grid_radius, index.cell_size(), index.nx(), index.ny());
    lattice.nodes = nodes;
    lattice.index_nx = index.nx();
    lattice.index_ny = index.ny();
    lattice.index_origin_x = index.origin_x();
    lattice.index_origin_y = index.origin_y();
    lattice.index_cell_size = index.cell_size();
    lattice.column_slots = column_slots_of(index);
    lattice.nodes_on_index = nodes.cell_size == index.cell_size() &&
                             nodes.origin_x == index.origin_x() &&
                             nodes.origin_y == index.origin_y();
    lattice.per_node = 1.0 / nodes.cell_size;
    lattice.instruction_set = distance_instruction_set();

    lattice.node_y.resize(nodes.ny + NODE_LANE_PADDING);
    for (std::size_t j = 0; j < lattice.node_y.size(); ++j)
        lattice.node_y[j] = static_cast<double>(j) * nodes.cell_size + nodes.origin_y;
    lay_out_row_windows(lattice);

    const bool copied = copy_points(lattice, threads);
    const std::size_t ny = index.ny();
    lattice.column_x_low.assign(index.nx(), INFINITE);
    lattice.column_x_high.assign(index.nx(), -INFINITE);
    const std::uint32_t* slots = index.slot_points().data();
    for (std::size_t ix = 0; ix < index.nx(); ++ix) {
        const std::size_t end = index.slot_begin(ix, ny);
        for (std::size_t s = index.slot_begin(ix, 0); s < end; ++s) {
            const double x = copied ? lattice.xs[s] : points.work[slots[s]].value[work::x];
            if (std::isnan(x)) {  // its dx is NaN at every node, and such a point counts
                lattice.column_x_low[ix] = -INFINITE;
                lattice.column_x_high[ix] = INFINITE;
            }
            lattice.column_x_low[ix] = std::min(lattice.column_x_low[ix], x);
            lattice.column_x_high[ix] = std::max(lattice.column_x_high[ix], x);
        }
    }
}

void prepare_lattice(NodeLattice& lattice, const PointData& points, const ClusterIndex& index,
                     std::span<const int> positions, double search_radius, double grid_radius) {
    prepare_lattice(lattice, points, index, positions, search_radius, grid_radius,
                    lattice_of_index(index));
}

void prepare_lattice(NodeLattice& lattice, const PointData& points, const ClusterIndex& index,
                     int position, double search_radius, double grid_radius) {
    const int positions[] = {position};
    prepare_lattice(lattice, points, index, positions, search_radius, grid_radius);
}

void prepare_lattice(NodeLattice& lattice, const PointData& points, const ClusterIndex& index,
                     int position, double search_radius, double grid_radius,
                     const GridLattice& nodes, unsigned threads) {
    const int positions[] = {position};
    prepare_lattice(lattice, points, index, positions, search_radius, grid_radius, nodes,
                    threads);
}

namespace {

// From the kept copy when there is one, from the point records otherwise.
template <class Value>
void grid_column(const NodeLattice& lattice, std::size_t i, Value* const* columns,
                 const ChosenRows* chosen = nullptr) {
    if (!lattice.xs.empty() || lattice.index->slot_points().empty())
        fill_columns(CopiedPoints{lattice}, lattice, i, columns, chosen);
    else
        fill_columns(RecordPoints{lattice}, lattice, i, columns, chosen);
}

}  // namespace

void grid_node_rows(const NodeLattice& lattice, const ChosenRows& rows, std::size_t i,
                    float* const* columns) {
    grid_column(lattice, i, columns, &rows);
}

void grid_node_column(const NodeLattice& lattice, std::size_t i, float* const* columns) {
    grid_column(lattice, i, columns);
}

void grid_node_column(const NodeLattice& lattice, std::size_t i, double* const* columns) {
    grid_column(lattice, i, columns);
}

void grid_node_column(const NodeLattice& lattice, std::size_t i, float* column) {
    grid_column(lattice, i, &column);
}

void grid_node_column(const NodeLattice& lattice, std::size_t i, double* column) {
    grid_column(lattice, i, &column);
}
