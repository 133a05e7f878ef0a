#pragma once
// Preview griddings under the busy cursor: the user sees the window is working while a
// map is gridded, even though its events are still processed.

#include <functional>

#include "engine/engine.h"
#include "engine/run/run_state.h"

class BusyCursorGridder : public PreviewGridder {
public:
    // announce, when set, is told the slot before each gridding starts.
    explicit BusyCursorGridder(PreviewGridder& inner, std::function<void(int)> announce = {})
        : inner_(inner), announce_(std::move(announce)) {}

    GridOutcome grid_preview(int slot, const RunSettings& settings, const RunState& state,
                             RunMonitor& monitor) override;
    bool grid_previews(std::span<const int> slot_numbers, const RunSettings& settings,
                       const RunState& state, RunMonitor& monitor) override;

private:
    PreviewGridder& inner_;
    std::function<void(int)> announce_;
};

// Shows the busy cursor for its lifetime.
class BusyCursor {
public:
    BusyCursor();
    ~BusyCursor();
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;
};
