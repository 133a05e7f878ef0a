#include "orvgrid/preview_set.h"

#include <gtest/gtest.h>

#include "tests/support/fake_monitor.h"
#include "tests/support/test_points.h"
#include "engine/run/run_state.h"

namespace {

// A 3 x 3 survey on a 10 m spacing, with CBA, height and the Linear3x3 ASIG place filled
// with different constants, indexed with 2 m cells (search radius 20 m).
RunState make_state() {
    RunState state;
    std::vector<std::array<double, 3>> xyv;
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) xyv.push_back({10.0 * i, 10.0 * j, 50.0});
    state.points = make_points(xyv, work::cba);
    for (std::size_t p = 0; p < state.points.count; ++p) {
        state.points.work[p].value[work::height] = 300.0;
        state.points.work[p].value[11] = -4.0;
    }
    state.index = make_index(state.points, 2.0);
    return state;
}

RunSettings make_settings() {
    RunSettings settings;
    settings.search_radius = 20.0;
    settings.cell_size = 2.0;
    settings.grid_radius = 20.0;
    settings.tendency = Tendency::Linear3x3;
    settings.preview_var1 = 0;  // HEIGHT
    settings.preview_var2 = 4;  // ASIG: position 11 under Linear3x3
    settings.preview_var3 = 1;  // HGGAY: position 6, never filled here, so 0
    return settings;
}

bool is_black(const RgbImage& image, int x, int y) {
    const std::uint8_t* p = image.pixel(x, y);
    return p[0] == 0 && p[1] == 0 && p[2] == 0;
}

}  // namespace

TEST(preview_set, starts_with_cleared_pictures_and_no_results) {
    PreviewSet set(20, 10);
    for (int slot = 1; slot <= 3; ++slot) {
        EXPECT_FALSE(set.has_result(slot));
        EXPECT_EQ(set.image(slot).pixels, cleared_preview_image(20, 10).pixels);
    }
    EXPECT_THROW((void)set.image(4), std::out_of_range);
}

TEST(preview_set, grids_each_slot_from_its_list_entry) {
    PreviewSet set(30, 30);
    const RunState state = make_state();
    const RunSettings settings = make_settings();
    FakeMonitor monitor;
    const double expected_mean[] = {300.0, -4.0, 0.0};
    for (int slot = 1; slot <= 3; ++slot) {
        ASSERT_EQ(set.grid_preview(slot, settings, state, monitor), GridOutcome::Done) << slot;
        ASSERT_TRUE(set.has_result(slot));
        const PreviewRaster& raster = set.result(slot).raster;
        EXPECT_NEAR(raster.mean, expected_mean[slot - 1], 1e-4) << slot;
        EXPECT_EQ(raster.std_dev, 1.0);
        // A flat field: every drawn pixel inside the frame is class 21 minus 38.
        const std::uint8_t* p = set.image(slot).pixel(5, 20);
        EXPECT_EQ(p[0], 217);
        EXPECT_EQ(p[1], 195);
        EXPECT_EQ(p[2], 0);
        EXPECT_TRUE(is_black(set.image(slot), 0, 0));
        EXPECT_TRUE(is_black(set.image(slot), 29, 15));
    }
    EXPECT_TRUE(monitor.messages.empty());
}

TEST(preview_set, zero_grid_radius_means_the_search_radius) {
    PreviewSet set(30, 30);
    const RunState state = make_state();
    FakeMonitor monitor;
    ASSERT_EQ(set.grid_slot(1, 1, Tendency::Linear4x4, 20.0, 0.0, state, monitor),
              GridOutcome::Done);
    // With a window of no cells every node would be blank.
    EXPECT_FALSE(is_blank(set.result(1).grid.at(5, 5)));
    EXPECT_NEAR(set.result(1).raster.mean, 50.0, 1e-4);
}

TEST(preview_set, cancel_keeps_the_previous_result_and_picture) {
    PreviewSet set(30, 30);
    const RunState state = make_state();
    FakeMonitor monitor;
    ASSERT_EQ(set.grid_slot(2, 4, Tendency::Linear3x3, 20.0, 20.0, state, monitor),
              GridOutcome::Done);
    const RgbImage before = set.image(2);
    monitor.stop = true;
    EXPECT_EQ(set.grid_slot(2, 0, Tendency::Linear3x3, 20.0, 20.0, state, monitor),
              GridOutcome::Cancelled);
    EXPECT_EQ(set.image(2).pixels, before.pixels);
    EXPECT_NEAR(set.result(2).raster.mean, -4.0, 1e-4);
}

TEST(preview_set, a_gridding_started_within_another_is_refused) {
    PreviewSet set(30, 30);
    const RunState state = make_state();
    FakeMonitor monitor;
    std::vector<GridOutcome> nested;
    monitor.on_events = [&] {
        if (nested.empty())
            nested.push_back(set.grid_slot(3, 0, Tendency::Linear4x4, 20.0, 20.0, state, monitor));
    };
    EXPECT_EQ(set.grid_slot(1, 1, Tendency::Linear4x4, 20.0, 20.0, state, monitor),
              GridOutcome::Done);
    ASSERT_EQ(nested.size(), 1u);
    EXPECT_EQ(nested[0], GridOutcome::Failed);
    EXPECT_FALSE(set.has_result(3));
    // Once the first has ended, the next one runs.
    monitor.on_events = nullptr;
    EXPECT_EQ(set.grid_slot(3, 0, Tendency::Linear4x4, 20.0, 20.0, state, monitor),
              GridOutcome::Done);
}

TEST(preview_set, clear_forgets_results_and_repaints) {
    PreviewSet set(30, 30);
    const RunState state = make_state();
    FakeMonitor monitor;
    ASSERT_EQ(set.grid_slot(1, 1, Tendency::Linear4x4, 20.0, 20.0, state, monitor),
              GridOutcome::Done);
    set.clear();
    EXPECT_FALSE(set.has_result(1));
    EXPECT_EQ(set.image(1).pixels, cleared_preview_image(30, 30).pixels);
}
