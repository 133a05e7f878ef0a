#include "orvgrid/preview_set.h"

#include <gtest/gtest.h>

#include <cstring>
#include <span>
#include <string>
#include <tuple>
#include <vector>

#include "engine/run/run_state.h"
#include "tests/support/fake_monitor.h"
#include "tests/support/random_surveys.h"
#include "tests/support/test_points.h"

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

namespace {

// A scattered survey with CBA and two result places filled (Linear4x4: list entries 0
// and 1 of the second and third lists are positions 5 and 6), indexed for a 6 m radius.
RunState scattered_state() {
    RunState state;
    state.points = random_surveys(17, 900, work::cba)[0].points;
    state.index = make_index(state.points, 0.6);
    return state;
}

// Records what a gridding shows, asks and draws; optionally presses Stop when a slot is
// reported ready.
struct SlotMonitor : FakeMonitor {
    int stop_after_ready = 0;
    void preview_ready(int slot) override {
        FakeMonitor::preview_ready(slot);
        if (slot == stop_after_ready) stop = true;
    }
};

bool same_bits(std::span<const float> a, std::span<const float> b) {
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(float)) == 0;
}

}  // namespace

// The three slots gridded in one shared pass give each slot the node grid, raster,
// colours and picture of its own gridding, on one thread and on two.
TEST(preview_set, shared_pass_gives_each_slot_its_own_gridding) {
    const RunState state = scattered_state();
    const int slots[] = {1, 2, 3};
    const int lists[] = {1, 0, 1};  // CBA, then positions 5 and 6
    PreviewSet alone(40, 30);
    FakeMonitor quiet;
    for (int k = 0; k < 3; ++k)
        ASSERT_EQ(alone.grid_slot(slots[k], lists[k], Tendency::Linear4x4, 6.0, 7.5, state, quiet),
                  GridOutcome::Done);
    for (unsigned threads : {1u, 2u}) {
        PreviewSet shared(40, 30);
        SlotMonitor monitor;
        EXPECT_TRUE(shared.grid_slots(slots, lists, Tendency::Linear4x4, 6.0, 7.5, state, monitor,
                                      threads));
        EXPECT_EQ(monitor.previews_ready, (std::vector<int>{1, 2, 3}));
        EXPECT_TRUE(monitor.messages.empty());
        EXPECT_TRUE(monitor.questions.empty());
        for (int slot = 1; slot <= 3; ++slot) {
            SCOPED_TRACE(testing::Message() << "slot " << slot << ", threads " << threads);
            ASSERT_TRUE(shared.has_result(slot));
            const PreviewResult& a = alone.result(slot);
            const PreviewResult& s = shared.result(slot);
            EXPECT_TRUE(same_bits(s.grid.values, a.grid.values));
            EXPECT_TRUE(same_bits(s.raster.values, a.raster.values));
            EXPECT_EQ(s.raster.mean, a.raster.mean);
            EXPECT_EQ(s.colours.colours, a.colours.colours);
            EXPECT_EQ(shared.image(slot).pixels, alone.image(slot).pixels);
        }
    }
    // The three variables differ, so the comparison above compared three different maps.
    EXPECT_FALSE(same_bits(alone.result(2).grid.values, alone.result(3).grid.values));
}

// Two slots showing one variable share its grid; a slot without a variable says so at its
// turn and the others are still drawn.
TEST(preview_set, shared_pass_with_a_repeated_and_a_missing_variable) {
    const RunState state = scattered_state();
    PreviewSet set(40, 30);
    SlotMonitor monitor;
    const int slots[] = {1, 2, 3};
    const int repeated[] = {1, 0, 0};
    EXPECT_TRUE(set.grid_slots(slots, repeated, Tendency::Linear4x4, 6.0, 6.0, state, monitor));
    EXPECT_EQ(monitor.previews_ready, (std::vector<int>{1, 2, 3}));
    EXPECT_TRUE(same_bits(set.result(2).grid.values, set.result(3).grid.values));
    EXPECT_EQ(set.image(2).pixels, set.image(3).pixels);

    PreviewSet partial(40, 30);
    SlotMonitor second;
    const int missing[] = {1, -1, 1};
    EXPECT_TRUE(partial.grid_slots(slots, missing, Tendency::Linear4x4, 6.0, 6.0, state, second));
    EXPECT_EQ(second.previews_ready, (std::vector<int>{1, 3}));
    EXPECT_EQ(second.messages, std::vector<std::string>{"No variable selected for this preview"});
    EXPECT_FALSE(partial.has_result(2));
}

// Stop pressed while the shared pass runs: Yes cancels every slot of it, nothing is drawn
// and the flag stays set; pressed after the first slot was drawn, the next slot asks.
TEST(preview_set, stop_during_and_between_the_slots_of_a_shared_pass) {
    const RunState state = scattered_state();
    const int slots[] = {1, 2, 3};
    const int lists[] = {1, 0, 1};
    {
        PreviewSet set(40, 30);
        SlotMonitor monitor;
        monitor.stop = true;
        monitor.answers = {true};
        EXPECT_FALSE(set.grid_slots(slots, lists, Tendency::Linear4x4, 6.0, 6.0, state, monitor));
        EXPECT_TRUE(monitor.previews_ready.empty());
        EXPECT_TRUE(monitor.stop);
        EXPECT_EQ(monitor.questions.size(), 1u);
        for (int slot = 1; slot <= 3; ++slot) EXPECT_FALSE(set.has_result(slot));
    }
    for (bool cancel : {true, false}) {
        SCOPED_TRACE(cancel ? "Yes" : "No");
        PreviewSet set(40, 30);
        SlotMonitor monitor;
        monitor.stop_after_ready = 1;
        monitor.answers = {cancel};
        EXPECT_EQ(set.grid_slots(slots, lists, Tendency::Linear4x4, 6.0, 6.0, state, monitor),
                  !cancel);
        EXPECT_EQ(monitor.question_lines(),
                  std::vector<std::string>{"Warning: Cancel calculation?"});
        EXPECT_EQ(monitor.stop, cancel);
        if (cancel) {
            EXPECT_EQ(monitor.previews_ready, std::vector<int>{1});
            EXPECT_FALSE(set.has_result(2));
            EXPECT_FALSE(set.has_result(3));
        } else {
            EXPECT_EQ(monitor.previews_ready, (std::vector<int>{1, 2, 3}));
        }
    }
}

// The set keeps a copy of the points for the next gridding; new points in the same run
// state (a new run, a load) are gridded, not the copy: each gridding equals a fresh
// set's.
TEST(preview_set, a_gridding_after_new_points_grids_the_new_points) {
    PreviewSet kept(40, 30);
    RunState state = make_state();
    FakeMonitor monitor;
    ASSERT_EQ(kept.grid_slot(1, 1, Tendency::Linear4x4, 20.0, 20.0, state, monitor),
              GridOutcome::Done);
    const auto expect_as_fresh = [&](int list_index) {
        PreviewSet fresh(40, 30);
        ASSERT_EQ(kept.grid_slot(2, list_index, Tendency::Linear4x4, 20.0, 20.0, state, monitor),
                  GridOutcome::Done);
        ASSERT_EQ(fresh.grid_slot(2, list_index, Tendency::Linear4x4, 20.0, 20.0, state, monitor),
                  GridOutcome::Done);
        EXPECT_TRUE(same_bits(kept.result(2).grid.values, fresh.result(2).grid.values));
        EXPECT_EQ(kept.image(2).pixels, fresh.image(2).pixels);
    };
    for (std::size_t p = 0; p < state.points.count; ++p)
        state.points.work[p].value[work::hgga] = static_cast<double>(p * p);
    expect_as_fresh(2);
    // The same number of points, moved: the index is rebuilt in place.
    std::vector<std::array<double, 3>> xyv;
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) xyv.push_back({10.0 * i + j, 10.0 * j - 0.5 * i, 5.0 * i});
    state.points = make_points(xyv, work::hgga);
    state.index = make_index(state.points, 2.0);
    expect_as_fresh(2);
}

// Pictures gridded from their own nodes alone are the pictures of the whole lattice on
// every survey shape, shared and alone, on one thread and on two, small and at the
// window's size; the node grid asked for afterwards is the whole lattice's.
TEST(preview_set, pictures_from_their_own_nodes_are_those_of_the_whole_lattice) {
    const int slots[] = {1, 2, 3};
    const int lists[] = {1, 0, 1};  // CBA, then positions 5 and 6
    for (const RandomSurvey& survey : random_surveys(23, 1500, work::cba)) {
        RunState state;
        state.points = survey.points;
        const double radius = 3.0 * survey.spacing;
        state.index = make_index(state.points, 0.1 * radius);
        for (const auto& [width, height, threads] :
             {std::tuple{40, 30, 1u}, std::tuple{40, 30, 2u}, std::tuple{177, 145, 2u}}) {
            SCOPED_TRACE(testing::Message() << survey.name << ", " << width << " x " << height
                                            << ", threads " << threads);
            PreviewSet whole(width, height);
            PreviewSet picture(width, height, NodeGrids::OnRequest);
            FakeMonitor monitor;
            for (PreviewSet* set : {&whole, &picture}) {
                ASSERT_TRUE(set->grid_slots(slots, lists, Tendency::Linear4x4, radius,
                                            1.3 * radius, state, monitor, threads));
                // A list change: position 7 alone, through the copy the set keeps.
                ASSERT_EQ(set->grid_slot(3, 2, Tendency::Linear4x4, radius, 1.3 * radius, state,
                                         monitor, threads),
                          GridOutcome::Done);
            }
            for (int slot = 1; slot <= 3; ++slot) {
                const PreviewResult& w = whole.result(slot);
                const PreviewResult& p = picture.result(slot);
                EXPECT_TRUE(same_bits(p.raster.values, w.raster.values)) << slot;
                EXPECT_EQ(p.raster.minimum, w.raster.minimum);
                EXPECT_EQ(p.raster.std_dev, w.raster.std_dev);
                EXPECT_EQ(p.colours.colours, w.colours.colours);
                EXPECT_EQ(picture.image(slot).pixels, whole.image(slot).pixels);
                EXPECT_EQ(p.grid.nx, 0u);
                PreviewGrid grid;
                ASSERT_EQ(picture.node_grid(slot, state, monitor, threads, grid),
                          GridOutcome::Done);
                EXPECT_EQ(grid.nx, w.grid.nx);
                EXPECT_EQ(grid.origin_y, w.grid.origin_y);
                EXPECT_TRUE(same_bits(grid.values, w.grid.values)) << slot;
            }
            EXPECT_TRUE(monitor.messages.empty());
        }
    }
}

// The node grid asked for after the points took other values (a run's later passes
// rewrite the working CBA under the first picture) is still the grid of the picture.
TEST(preview_set, a_node_grid_asked_for_later_is_that_of_the_values_drawn) {
    RunState state = scattered_state();
    PreviewSet before(40, 30);
    PreviewSet picture(40, 30, NodeGrids::OnRequest);
    FakeMonitor monitor;
    for (PreviewSet* set : {&before, &picture})
        ASSERT_EQ(set->grid_slot(1, 1, Tendency::Linear4x4, 6.0, 6.0, state, monitor),
                  GridOutcome::Done);
    for (std::size_t p = 0; p < state.points.count; ++p)
        state.points.work[p].value[work::cba] += 1.0 + static_cast<double>(p % 7);
    // A list change in between fills the kept copy with other values.
    ASSERT_EQ(picture.grid_slot(2, 1, Tendency::Linear4x4, 6.0, 6.0, state, monitor),
              GridOutcome::Done);
    PreviewGrid grid;
    ASSERT_EQ(picture.node_grid(1, state, monitor, 2, grid), GridOutcome::Done);
    EXPECT_TRUE(same_bits(grid.values, before.result(1).grid.values));
    PreviewSet now(40, 30);
    ASSERT_EQ(now.grid_slot(1, 1, Tendency::Linear4x4, 6.0, 6.0, state, monitor),
              GridOutcome::Done);
    EXPECT_FALSE(same_bits(now.result(1).grid.values, grid.values));
    EXPECT_TRUE(monitor.messages.empty());

    // Stop while it is made: the question, and nothing made on Yes.
    monitor.stop = true;
    monitor.answers = {true};
    PreviewGrid cancelled;
    EXPECT_EQ(picture.node_grid(1, state, monitor, 1, cancelled), GridOutcome::Cancelled);
    EXPECT_EQ(cancelled.nx, 0u);
    EXPECT_EQ(monitor.question_lines(),
              (std::vector<std::string>{"Warning: Cancel calculation?"}));
    monitor.stop = false;

    // Points moved under the picture, or no picture at all: said, nothing made.
    const std::string none = "This preview has no grid to save.";
    state.points.work[3].value[work::x] += 0.25;
    EXPECT_EQ(picture.node_grid(1, state, monitor, 1, grid), GridOutcome::Failed);
    EXPECT_EQ(monitor.messages, (std::vector<std::string>{none}));
    picture.clear();
    EXPECT_EQ(picture.node_grid(1, state, monitor, 1, grid), GridOutcome::Failed);
    EXPECT_EQ(monitor.messages, (std::vector<std::string>{none, none}));

    // A set that makes no grids draws the same picture and has none to give.
    PreviewSet pictures_only(40, 30, NodeGrids::Never);
    ASSERT_EQ(pictures_only.grid_slot(1, 1, Tendency::Linear4x4, 6.0, 6.0, state, monitor),
              GridOutcome::Done);
    ASSERT_EQ(now.grid_slot(1, 1, Tendency::Linear4x4, 6.0, 6.0, state, monitor),
              GridOutcome::Done);
    EXPECT_TRUE(same_bits(pictures_only.result(1).raster.values, now.result(1).raster.values));
    EXPECT_EQ(pictures_only.node_grid(1, state, monitor, 1, grid), GridOutcome::Failed);
    EXPECT_EQ(monitor.messages, (std::vector<std::string>{none, none, none}));
}
