#include "orvgrid/map/map_view.h"

#include <gtest/gtest.h>

#include <vector>

TEST(map_view, a_view_inside_the_data_gets_a_node_at_every_pixel_centre) {
    // 100 x 50 m on 200 x 100 pixels: half a metre a pixel.
    const GridLattice l = view_lattice({0, 100, 0, 50}, 200, 100, {-1e3, 1e3, -1e3, 1e3});
    EXPECT_EQ(l.nx, 200u);
    EXPECT_EQ(l.ny, 100u);
    EXPECT_DOUBLE_EQ(l.cell_size, 0.5);
    EXPECT_DOUBLE_EQ(l.origin_x, 0.25);
    EXPECT_DOUBLE_EQ(l.origin_y, 0.25);
    const MapArea a = lattice_area(l);
    EXPECT_DOUBLE_EQ(a.x_min, 0.0);
    EXPECT_DOUBLE_EQ(a.x_max, 100.0);
    EXPECT_DOUBLE_EQ(a.y_min, 0.0);
    EXPECT_DOUBLE_EQ(a.y_max, 50.0);
}

TEST(map_view, the_whole_view_fits_with_square_pixels) {
    // A view wider than the screen's proportion: the x extent decides the spacing.
    const GridLattice l = view_lattice({0, 400, 0, 100}, 200, 200, {-1e3, 1e3, -1e3, 1e3});
    EXPECT_DOUBLE_EQ(l.cell_size, 2.0);
    EXPECT_EQ(l.nx, 200u);
    EXPECT_EQ(l.ny, 50u);
}

TEST(map_view, only_pixels_over_the_data_get_nodes) {
    // Data from x 30.2 to 61, y -10 to 7.5, in a 100 x 100 view of 1 m pixels: pixel
    // columns 30..60 and rows 0..7 overlap it.
    const GridLattice l = view_lattice({0, 100, 0, 100}, 100, 100, {30.2, 61.0, -10.0, 7.5});
    EXPECT_DOUBLE_EQ(l.cell_size, 1.0);
    EXPECT_DOUBLE_EQ(l.origin_x, 30.5);
    EXPECT_EQ(l.nx, 31u);
    EXPECT_DOUBLE_EQ(l.origin_y, 0.5);
    EXPECT_EQ(l.ny, 8u);
    // A view beside the data, or without size, gets none.
    EXPECT_EQ(view_lattice({0, 10, 0, 10}, 10, 10, {20, 30, 0, 10}).nodes(), 0u);
    EXPECT_EQ(view_lattice({0, 0, 0, 10}, 10, 10, {-5, 5, 0, 10}).nodes(), 0u);
    EXPECT_EQ(view_lattice({0, 10, 0, 10}, 0, 10, {-5, 5, 0, 10}).nodes(), 0u);
}

TEST(map_view, the_value_at_a_position_is_its_pixels_node) {
    GridLattice l;
    l.nx = 3;
    l.ny = 2;
    l.origin_x = 10.0;
    l.origin_y = 20.0;
    l.cell_size = 2.0;
    const std::vector<double> v = {0.0, 1.0, 10.0, 11.0, 20.0, 21.0};
    EXPECT_EQ(lattice_value_at(l, v, 10.0, 20.0), 0.0);
    EXPECT_EQ(lattice_value_at(l, v, 10.9, 20.9), 0.0);
    EXPECT_EQ(lattice_value_at(l, v, 11.0, 21.0), 11.0);  // pixel edges go up
    EXPECT_EQ(lattice_value_at(l, v, 14.9, 22.5), 21.0);
    EXPECT_EQ(lattice_value_at(l, v, 9.0, 19.0), 0.0);
    EXPECT_FALSE(lattice_value_at(l, v, 8.9, 20.0).has_value());
    EXPECT_FALSE(lattice_value_at(l, v, 15.0, 20.0).has_value());
    EXPECT_FALSE(lattice_value_at(l, v, 12.0, 23.0).has_value());
    EXPECT_FALSE(lattice_value_at(l, std::vector<double>(5), 10.0, 20.0).has_value());
}
