#include "orvgrid/preview_set.h"

#include <stdexcept>

#include "orvgrid/preview_vars.h"
#include "engine/run/run_state.h"

PreviewSet::PreviewSet(int width, int height) : width_(width), height_(height) { clear(); }

GridOutcome PreviewSet::grid_preview(int slot, const RunSettings& settings,
                                     const RunState& state, RunMonitor& monitor) {
    const int list_index = slot == 1   ? settings.preview_var1
                           : slot == 2 ? settings.preview_var2
                                       : settings.preview_var3;
    return grid_slot(slot, list_index, settings.tendency, settings.search_radius,
                     settings.grid_radius, state, monitor, settings.threads);
}

GridOutcome PreviewSet::grid_slot(int slot, int list_index, Tendency tendency,
                                  double search_radius, double grid_radius,
                                  const RunState& state, RunMonitor& monitor,
                                  unsigned threads) {
    Slot& target = slot_at(slot);
    if (gridding_) return GridOutcome::Failed;
    gridding_ = true;
    struct Release {
        bool& flag;
        ~Release() { flag = false; }
    } release{gridding_};

    const double window_radius = grid_radius < 1e-6 ? search_radius : grid_radius;
    PreviewResult fresh;
    const GridOutcome outcome = gridPreviewVariable(
        state.points, state.index, preview_position(slot, list_index, tendency), search_radius,
        window_radius, width_, height_, monitor, fresh, threads);
    if (outcome != GridOutcome::Done) return outcome;
    draw_preview(fresh.colours, target.image);
    target.result = std::move(fresh);
    return outcome;
}

void PreviewSet::clear() {
    for (Slot& slot : slots_) {
        slot.result.reset();
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
