#include "orvgrid/map/map_snapshot.h"

#include <gtest/gtest.h>

#include <cmath>

#include "orvgrid/map/map_readout.h"
#include "tests/support/test_points.h"

namespace {

// Three stations with offsets 100 (x) and 50 (y), HGGA at position 7 and TILT at 12.
RunState three_stations() {
    RunState state;
    state.points = make_points({{0, 0, 0.5}, {10, 0, 1.5}, {0, 10, 2.5}}, 7);
    state.points.extent.x_offset = 100.0;
    state.points.extent.y_offset = 50.0;
    for (std::size_t p = 0; p < 3; ++p) {
        state.points.survey[p].point_number = 101.0 + static_cast<double>(p);
        state.points.work[p].value[work::height] = 300.0 + static_cast<double>(p);
        state.points.survey[p].cba = -5.0 - static_cast<double>(p);
        state.points.work[p].value[12] = 0.25 * static_cast<double>(p);
    }
    state.index = make_index(state.points, 1.0);
    state.results_ready = true;
    return state;
}

}  // namespace

TEST(map_snapshot, keeps_its_points_when_the_state_is_replaced) {
    RunState state = three_stations();
    const auto snapshot = take_map_snapshot(state, Tendency::Linear4x4, 10.0, 12.0, "a.dat");
    state.points.clear();
    state.index.clear();
    state = RunState{};
    ASSERT_EQ(snapshot->points.count, 3u);
    EXPECT_EQ(snapshot->points.work[1].value[7], 1.5);
    EXPECT_EQ(snapshot->index.nx(), 11u);
    EXPECT_EQ(snapshot->search_radius, 10.0);
    EXPECT_EQ(snapshot->grid_radius, 12.0);
    const MapArea area = snapshot->data_area();
    EXPECT_EQ(area.x_min, -10.0);
    EXPECT_EQ(area.x_max, 20.0);
    // The index lattice is 11 x 11 one-metre cells: 11/145 m a preview pixel.
    EXPECT_DOUBLE_EQ(snapshot->preview_pixel_size(), 11.0 / 145.0);
}

TEST(map_snapshot, a_station_row_is_the_result_row_of_the_model) {
    const auto snapshot = take_map_snapshot(three_stations(), Tendency::Linear4x4, 10, 10, "");
    const std::vector<RowValue> row = station_row(*snapshot, 2);
    const std::vector<std::string> names = {"x",     "y",     "point", "h",    "cba",
                                            "HGGAX", "HGGAY", "HGGA",  "VGGA", "RGA",
                                            "LGA",   "ASIG",  "TILT"};
    ASSERT_EQ(row.size(), names.size());
    for (std::size_t i = 0; i < names.size(); ++i) EXPECT_EQ(row[i].name, names[i]);
    EXPECT_EQ(row[0].value, -100.0);  // as read: stored minus offset
    EXPECT_EQ(row[1].value, -40.0);
    EXPECT_EQ(row[2].value, 103.0);
    EXPECT_EQ(row[3].value, 302.0);
    EXPECT_EQ(row[4].value, -7.0);
    EXPECT_EQ(row[7].value, 2.5);
    EXPECT_EQ(row[12].value, 0.5);
}

TEST(map_snapshot, the_readout_names_the_node_and_the_nearest_station) {
    const auto snapshot = take_map_snapshot(three_stations(), Tendency::Linear4x4, 10, 10, "");
    GridLattice lattice;
    lattice.nx = 2;
    lattice.ny = 2;
    lattice.cell_size = 10.0;
    const std::vector<double> values = {0.5, 2.5, 1.5, LATTICE_BLANK};
    // Survey (-97, -48) is stored (3, 2): node (0, 0), station 0 at 3.6 m.
    const MapReadout near_first = readout_at(*snapshot, lattice, values, -97.0, -48.0);
    EXPECT_EQ(near_first.value, 0.5);
    EXPECT_FALSE(near_first.blank);
    EXPECT_EQ(near_first.station, 0u);
    EXPECT_DOUBLE_EQ(near_first.station_distance, std::hypot(3.0, 2.0));
    EXPECT_EQ(near_first.row[2].value, 101.0);
    // Stored (9, 9.5): node (1, 1) is blank; station 2 is 9.01 m away, station 1 9.55 m.
    const MapReadout blank = readout_at(*snapshot, lattice, values, -91.0, -40.5);
    EXPECT_TRUE(blank.blank);
    EXPECT_FALSE(blank.value.has_value());
    EXPECT_EQ(blank.station, 2u);
    // Beyond the lattice there is no node, but still a nearest station.
    const MapReadout outside = readout_at(*snapshot, lattice, values, 0.0, 0.0);
    EXPECT_FALSE(outside.value.has_value());
    EXPECT_FALSE(outside.blank);
    EXPECT_EQ(outside.station, 1u);
}
