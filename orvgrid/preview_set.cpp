#include "orvgrid/preview_set.h"

#include <new>
#include <stdexcept>
#include <vector>

#include "orvgrid/preview_vars.h"
#include "engine/run/run_state.h"
#include "engine/run/stop_check.h"

namespace {

// Marks a gridding in progress for its lifetime.
struct GriddingFlag {
    bool& flag;
    explicit GriddingFlag(bool& f) : flag(f) { flag = true; }
    ~GriddingFlag() { flag = false; }
};

double window_radius_of(double search_radius, double grid_radius) {
    return grid_radius < 1e-6 ? search_radius : grid_radius;
}

bool valid_position(int position) { return position >= 0 && position < 15; }

}  // namespace

PreviewSet::PreviewSet(int width, int height, NodeGrids node_grids)
    : width_(width), height_(height), node_grids_(node_grids) {
    clear();
}

GridOutcome PreviewSet::grid_preview(int slot, const RunSettings& settings,
                                     const RunState& state, RunMonitor& monitor) {
    const int list_index = slot == 1   ? settings.preview_var1
                           : slot == 2 ? settings.preview_var2
                                       : settings.preview_var3;
    return grid_slot(slot, list_index, settings.tendency, settings.search_radius,
                     settings.grid_radius, state, monitor, settings.threads);
}

bool PreviewSet::grid_previews(std::span<const int> slot_numbers, const RunSettings& settings,
                               const RunState& state, RunMonitor& monitor) {
    std::vector<int> list_indices;
    for (int slot : slot_numbers) {
        list_indices.push_back(slot == 1   ? settings.preview_var1
                               : slot == 2 ? settings.preview_var2
                                           : settings.preview_var3);
    }
    return grid_slots(slot_numbers, list_indices, settings.tendency, settings.search_radius,
                      settings.grid_radius, state, monitor, settings.threads);
}

GridOutcome PreviewSet::grid_slot(int slot, int list_index, Tendency tendency,
                                  double search_radius, double grid_radius,
                                  const RunState& state, RunMonitor& monitor,
                                  unsigned threads) {
    slot_at(slot);
    if (gridding_) return GridOutcome::Failed;
    const GriddingFlag busy(gridding_);
    const Gridded what{preview_position(slot, list_index, tendency), search_radius,
                       window_radius_of(search_radius, grid_radius), {}};
    return grid_position(slot, what, state, monitor, threads);
}

GridOutcome PreviewSet::grid_position(int slot, const Gridded& what, const RunState& state,
                                      RunMonitor& monitor, unsigned threads) {
    PreviewResult fresh;
    const GridOutcome outcome = gridPreviewVariable(
        state.points, state.index, what.position, what.search_radius, what.window_radius, width_,
        height_, monitor, fresh, threads, &lattice_,
        node_grids_ == NodeGrids::WithEachGridding ? GriddedNodes::WholeLattice
                                                   : GriddedNodes::PictureOnly);
    if (outcome == GridOutcome::Done) show(slot, what, std::move(fresh));
    return outcome;
}

bool PreviewSet::grid_slots(std::span<const int> slot_numbers, std::span<const int> list_indices,
                            Tendency tendency, double search_radius, double grid_radius,
                            const RunState& state, RunMonitor& monitor, unsigned threads) {
    for (int slot : slot_numbers) slot_at(slot);
    if (gridding_) return !monitor.stop_requested();
    const GriddingFlag busy(gridding_);
    std::vector<int> positions;
    for (std::size_t k = 0; k < slot_numbers.size(); ++k)
        positions.push_back(preview_position(slot_numbers[k], list_indices[k], tendency));
    const double window_radius = window_radius_of(search_radius, grid_radius);
    if (node_grids_ == NodeGrids::WithEachGridding)
        return grid_shared<PreviewGrid>(slot_numbers, positions, search_radius, window_radius,
                                        state, monitor, threads);
    return grid_shared<PictureNodes>(slot_numbers, positions, search_radius, window_radius,
                                     state, monitor, threads);
}

// The node grids of the slots' variables are made in one pass, at the turn of the first
// slot that has a variable; a slot without one says so at its own turn, as it always has.
template <class Grid>
bool PreviewSet::grid_shared(std::span<const int> slot_numbers, std::span<const int> positions,
                             double search_radius, double window_radius,
                             const RunState& state, RunMonitor& monitor, unsigned threads) {
    std::vector<int> distinct;            // the variables, in the order of the slots
    std::vector<std::size_t> grid_of(slot_numbers.size());
    std::vector<std::size_t> last_slot;   // of each variable: the last slot showing it
    std::size_t with_variable = 0;
    for (std::size_t k = 0; k < slot_numbers.size(); ++k) {
        if (!valid_position(positions[k])) continue;
        ++with_variable;
        std::size_t g = 0;
        while (g < distinct.size() && distinct[g] != positions[k]) ++g;
        if (g == distinct.size()) {
            distinct.push_back(positions[k]);
            last_slot.push_back(k);
        }
        grid_of[k] = g;
        last_slot[g] = k;
    }
    const bool share = with_variable > 1;

    std::vector<Grid> grids;
    bool swept = false;
    for (std::size_t k = 0; k < slot_numbers.size(); ++k) {
        if (k > 0) monitor.process_events();
        const int slot = slot_numbers[k];
        const Gridded what{positions[k], search_radius, window_radius, {}};
        GridOutcome outcome = GridOutcome::Failed;
        if (!share || !valid_position(positions[k])) {
            outcome = grid_position(slot, what, state, monitor, threads);
        } else {
            if (!swept) {
                swept = true;
                try {
                    grids.resize(distinct.size());
                    outcome = grid_positions(std::span<Grid>(grids), state.points, state.index,
                                             distinct, search_radius, window_radius, width_,
                                             height_, monitor, threads, &lattice_);
                } catch (const std::bad_alloc&) {
                    grids = {};
                } catch (const std::length_error&) {
                    grids = {};
                }
            } else if (!grids.empty()) {
                // The question its own gridding would have asked between its columns.
                outcome = cancel_confirmed(monitor) ? GridOutcome::Cancelled : GridOutcome::Done;
            }
            if (grids.empty()) {
                // Not enough memory for the grids at once: this slot on its own.
                outcome = grid_position(slot, what, state, monitor, threads);
            } else if (outcome == GridOutcome::Done) {
                outcome = finish_shared(slot, what, grids, grid_of[k], last_slot[grid_of[k]] == k,
                                        monitor);
            }
        }
        if (monitor.stop_requested()) return false;
        if (outcome == GridOutcome::Done) monitor.preview_ready(slot);
    }
    return true;
}

// A grid shown by a later slot too is copied for this one; without the memory for the
// copy this slot fails as its own gridding would without its buffers.
template <class Grid>
GridOutcome PreviewSet::finish_shared(int slot, const Gridded& what, std::vector<Grid>& grids,
                                      std::size_t g, bool last_user, RunMonitor& monitor) {
    Grid grid;
    try {
        grid = last_user ? std::move(grids[g]) : grids[g];
    } catch (const std::bad_alloc&) {
        monitor.show_message("Not enough memory for temporary buffer");
        return GridOutcome::Failed;
    }
    PreviewResult fresh;
    const GridOutcome outcome = finish_preview(std::move(grid), width_, height_, monitor, fresh);
    if (outcome == GridOutcome::Done) show(slot, what, std::move(fresh));
    return outcome;
}

void PreviewSet::show(int slot, Gridded what, PreviewResult&& fresh) {
    Slot& target = slot_at(slot);
    if (node_grids_ == NodeGrids::OnRequest) {
        // Kept for the node grid on request: the points may hold other values by then
        // (the working CBA of a run's later passes). Without the memory for them, that
        // grid cannot be made; the picture is shown all the same.
        const std::span<const double> values = copied_values(lattice_, what.position);
        try {
            what.values.assign(values.begin(), values.end());
        } catch (const std::bad_alloc&) {
            what.values = {};
        }
    }
    draw_preview(fresh.colours, target.image);
    target.result = std::move(fresh);
    target.gridded = std::move(what);
}

GridOutcome PreviewSet::node_grid(int slot, const RunState& state, RunMonitor& monitor,
                                  unsigned threads, PreviewGrid& grid) {
    const Slot& source = slot_at(slot);
    const char* const none = "This preview has no grid to save.";
    if (!source.result || gridding_ || node_grids_ == NodeGrids::Never) {
        monitor.show_message(none);
        return GridOutcome::Failed;
    }
    if (node_grids_ == NodeGrids::WithEachGridding) {
        try {
            grid = source.result->grid;
            return GridOutcome::Done;
        } catch (const std::bad_alloc&) {
            monitor.show_message("Not enough memory for temporary buffer");
            return GridOutcome::Failed;
        }
    }
    const Gridded& what = source.gridded;
    if (what.values.empty()) {
        // There was no memory for the copy of the points, or for the values kept from it.
        monitor.show_message("Not enough memory for temporary buffer");
        return GridOutcome::Failed;
    }
    const GriddingFlag busy(gridding_);
    bool prepared = false;
    try {
        prepared = refresh_lattice_values(lattice_, state.points, state.index, what.position,
                                          what.values, what.search_radius, what.window_radius,
                                          lattice_of_index(state.index), threads);
    } catch (const std::bad_alloc&) {
        lattice_ = NodeLattice{};
        monitor.show_message("Not enough memory for temporary buffer");
        return GridOutcome::Failed;
    }
    if (!prepared) {
        monitor.show_message(none);
        return GridOutcome::Failed;
    }
    return grid_prepared_lattice(state.points, state.index, lattice_, monitor, grid, threads);
}

void PreviewSet::clear() {
    lattice_ = NodeLattice{};
    for (Slot& slot : slots_) {
        slot.result.reset();
        slot.gridded = {};
        slot.image = cleared_preview_image(width_, height_);
    }
}

bool PreviewSet::has_result(int slot) const { return slot_at(slot).result.has_value(); }

const PreviewResult& PreviewSet::result(int slot) const { return slot_at(slot).result.value(); }

const RgbImage& PreviewSet::image(int slot) const { return slot_at(slot).image; }

PreviewSet::Slot& PreviewSet::slot_at(int slot) {
    if (slot < 1 || slot > 3) throw std::out_of_range("preview slot must be 1, 2 or 3");
    return slots_[static_cast<std::size_t>(slot - 1)];
}

const PreviewSet::Slot& PreviewSet::slot_at(int slot) const {
    if (slot < 1 || slot > 3) throw std::out_of_range("preview slot must be 1, 2 or 3");
    return slots_[static_cast<std::size_t>(slot - 1)];
}
