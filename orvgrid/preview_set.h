#pragma once
// The three previews of the window: for each slot the last finished gridding (node grid,
// raster with its statistics, colour image) and the picture it was drawn into.

#include <array>
#include <optional>
#include <span>
#include <vector>

#include "engine/engine.h"
#include "engine/run/run_state.h"
#include "orvgrid/grid/node_columns.h"
#include "orvgrid/grid/preview_grid.h"
#include "orvgrid/preview_image.h"

// When the node grid behind a picture is made: with every gridding, for a grid file to be
// written from each; only when asked for (node_grid), from the values the picture was
// gridded from; or never, where only the pictures are wanted. A picture alone is
// resampled from a few hundred node columns and rows of the lattice, however many it
// has: a hundredth of a million-station lattice.
enum class NodeGrids { WithEachGridding, OnRequest, Never };

class PreviewSet : public PreviewGridder {
public:
    // Three cleared pictures of width x height pixels (the window's image size).
    explicit PreviewSet(int width = 177, int height = 145,
                        NodeGrids node_grids = NodeGrids::WithEachGridding);

    // Grids slot 1, 2 or 3 from the list index the settings hold for it, under the run's
    // tendency and radii. The engine calls this; the window draws image(slot) when told
    // the slot is ready.
    GridOutcome grid_preview(int slot, const RunSettings& settings, const RunState& state,
                             RunMonitor& monitor) override;

    // Grids `slot_numbers` from the list indices the settings hold for them, as grid_slots does.
    bool grid_previews(std::span<const int> slot_numbers, const RunSettings& settings,
                       const RunState& state, RunMonitor& monitor) override;

    // Grids slot 1, 2 or 3 from a list index (list changes, loaded files). A grid radius
    // below 1e-6 means the search radius. Done replaces the slot's result and draws it
    // over the slot's picture, keeping the picture's frame; otherwise the slot is
    // unchanged. A gridding started while another is running (events are processed
    // between node columns) is refused: Failed, nothing shown. `threads` as in
    // RunSettings: 0 all cores, 1 this thread alone.
    GridOutcome grid_slot(int slot, int list_index, Tendency tendency, double search_radius,
                          double grid_radius, const RunState& state, RunMonitor& monitor,
                          unsigned threads = 1);

    // Grids slot_numbers[k] from list_indices[k] in turn (1 to 3 slots), with the outcome of
    // grid_slot for each, the window's events processed between two, and
    // monitor.preview_ready(slot) for each one done. False as soon as one was cancelled
    // (stop flag set; the later slots are left alone). The slots' node grids are computed
    // in one pass that shares the distances and weights; the slots after the first then
    // ask the stop question once each, where a gridding of their own would ask it
    // between its columns. Without the memory for the shared pass each slot is gridded
    // on its own.
    bool grid_slots(std::span<const int> slot_numbers, std::span<const int> list_indices,
                    Tendency tendency, double search_radius, double grid_radius,
                    const RunState& state, RunMonitor& monitor, unsigned threads = 1);

    // The node grid behind slot's picture: result(slot).grid, or with NodeGrids::OnRequest
    // that grid made now, through the points and index of `state` (those the picture was
    // gridded from) and the values the picture was gridded from, whatever the points hold
    // now. Events and the stop question as in a gridding; Failed after a message ("This
    // preview has no grid to save." when there is no picture, the points are no longer
    // those of the picture or the set makes no grids, "Not enough memory for temporary
    // buffer" when the values could not be kept or the grid not be had); `grid` is set
    // only when Done.
    GridOutcome node_grid(int slot, const RunState& state, RunMonitor& monitor,
                          unsigned threads, PreviewGrid& grid);

    // Paints all three pictures empty and forgets their results and the copy of the
    // points kept for the next gridding.
    void clear();

    // Slot accessors; slot must be 1, 2 or 3 (std::out_of_range otherwise).
    bool has_result(int slot) const;
    const PreviewResult& result(int slot) const;  // has_result(slot) must hold
    const RgbImage& image(int slot) const;

    int width() const { return width_; }
    int height() const { return height_; }

private:
    // What the slot's picture was gridded from.
    struct Gridded {
        int position = -1;
        double search_radius = 0.0, window_radius = 0.0;
        std::vector<double> values;  // NodeGrids::OnRequest: in the lattice's slot order
    };
    struct Slot {
        std::optional<PreviewResult> result;
        Gridded gridded;
        RgbImage image;
    };
    Slot& slot_at(int slot);
    const Slot& slot_at(int slot) const;
    GridOutcome grid_position(int slot, const Gridded& what, const RunState& state,
                              RunMonitor& monitor, unsigned threads);
    template <class Grid>
    bool grid_shared(std::span<const int> slot_numbers, std::span<const int> positions,
                     double search_radius, double window_radius, const RunState& state,
                     RunMonitor& monitor, unsigned threads);
    template <class Grid>
    GridOutcome finish_shared(int slot, const Gridded& what, std::vector<Grid>& grids,
                              std::size_t g, bool last_user, RunMonitor& monitor);
    void show(int slot, Gridded what, PreviewResult&& fresh);

    int width_, height_;
    NodeGrids node_grids_;
    std::array<Slot, 3> slots_;
    // The points in the index's slot order, as the last gridding copied them: the next
    // gridding of the same points (a list change) copies only their values.
    NodeLattice lattice_;
    bool gridding_ = false;
};
