#include "orvgrid/grid/resample.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

namespace {

std::vector<float> resampled(const std::vector<float>& source, double step_in, std::size_t n_out,
                             double step_out) {
    std::vector<float> target(n_out, -1.0f);
    resampleLine(source, step_in, target, step_out);
    return target;
}

constexpr float B = BLANK_VALUE;

PreviewGrid flat_grid(std::size_t nx, std::size_t ny, double c, float value) {
    PreviewGrid grid;
    grid.nx = nx;
    grid.ny = ny;
    grid.cell_size = c;
    grid.values.assign(nx * ny, value);
    return grid;
}

}  // namespace

TEST(resample, line_cases) {
    struct Case {
        const char* name;
        std::vector<float> source;
        double step_in;
        std::size_t n_out;
        double step_out;
        std::vector<float> expected;
    };
    const std::vector<Case> cases = {
        {"halves between nodes", {0, 10, 20, 30}, 1.0, 7, 0.5, {0, 5, 10, 15, 20, 25, 30}},
        {"blank neighbours blank the samples between",
         {0, B, 20, 30}, 1.0, 7, 0.5, {0, B, B, B, 20, 25, 30}},
        {"an exact hit next to a blank keeps its value",
         {B, 10, B}, 1.0, 5, 0.5, {B, B, 10, B, B}},
        {"forced last sample", {0, 10, 20}, 1.0, 4, 0.7, {0, 7, 14, 20}},
        {"past the last node the last value holds", {0, 10}, 1.0, 5, 0.4, {0, 4, 8, 10, 10}},
        {"single node", {3}, 1.0, 4, 0.3, {3, 3, 3, 3}},
        {"single output takes the last node", {1, 2, 3}, 1.0, 1, 0.5, {3}},
        {"coarser output", {0, 1, 2, 3, 4, 5, 6}, 1.0, 3, 2.5, {0, 2.5f, 6}},
    };
    for (const Case& c : cases) {
        const std::vector<float> got = resampled(c.source, c.step_in, c.n_out, c.step_out);
        ASSERT_EQ(got.size(), c.expected.size()) << c.name;
        for (std::size_t t = 0; t < got.size(); ++t)
            EXPECT_FLOAT_EQ(got[t], c.expected[t]) << c.name << " sample " << t;
    }
}

TEST(resample, positions_are_accumulated_by_addition) {
    // Ten additions of 0.1 give 0.9999999999999999, just short of node 1: the sample
    // interpolates against the blank node 0 and is blank, where 10 * 0.1 would hit node 1.
    const std::vector<float> got = resampled({B, 10, 20}, 1.0, 13, 0.1);
    EXPECT_EQ(got[10], B);
    EXPECT_FLOAT_EQ(got[12], 20.0f);
}

TEST(resample, empty_target_is_left_alone) {
    std::vector<float> source = {1, 2};
    std::vector<float> target;
    resampleLine(source, 1.0, target, 1.0);
    EXPECT_TRUE(target.empty());
}

TEST(resample, wide_area_fills_from_the_bottom) {
    // 4 x 2 nodes of 10 m into 8 x 8 pixels: s = max(40/8, 20/8) = 5, 4 rows used.
    const PreviewRaster r = resample_grid(flat_grid(4, 2, 10.0, 2.5f), 8, 8);
    EXPECT_EQ(r.cols_used, 8);
    EXPECT_EQ(r.rows_used, 4);
    ASSERT_EQ(r.values.size(), 64u);
    for (int m = 0; m < 8; ++m) {
        for (int k = 0; k < 8; ++k) {
            if (k < 4)
                EXPECT_FLOAT_EQ(r.at(m, k), 2.5f) << m << "," << k;
            else
                EXPECT_EQ(r.at(m, k), B) << m << "," << k;
        }
    }
}

TEST(resample, tall_area_leaves_right_columns_blank) {
    const PreviewRaster r = resample_grid(flat_grid(2, 4, 10.0, 1.0f), 8, 8);
    EXPECT_EQ(r.cols_used, 4);
    EXPECT_EQ(r.rows_used, 8);
    EXPECT_FLOAT_EQ(r.at(3, 7), 1.0f);
    EXPECT_EQ(r.at(4, 0), B);
    EXPECT_EQ(r.at(7, 7), B);
}

TEST(resample, raster_interpolates_columns_then_rows) {
    // Node values x + 10 y on 3 x 3 nodes, 1 m apart, into 6 x 6 pixels of 0.5 m: the
    // plane is reproduced wherever both neighbours are inside the lattice.
    PreviewGrid grid = flat_grid(3, 3, 1.0, 0.0f);
    for (std::size_t i = 0; i < 3; ++i)
        for (std::size_t j = 0; j < 3; ++j) grid.values[i * 3 + j] = static_cast<float>(i + 10 * j);
    const PreviewRaster r = resample_grid(grid, 6, 6);
    ASSERT_EQ(r.cols_used, 6);
    ASSERT_EQ(r.rows_used, 6);
    for (int m = 0; m < 5; ++m)
        for (int k = 0; k < 5; ++k)
            EXPECT_NEAR(r.at(m, k), 0.5 * m + 5.0 * k, 1e-5) << m << "," << k;
    // The last pixel row and column are the last nodes.
    EXPECT_FLOAT_EQ(r.at(0, 5), 20.0f);
    EXPECT_FLOAT_EQ(r.at(5, 0), 2.0f);
    EXPECT_FLOAT_EQ(r.at(5, 5), 22.0f);
}

// Lattices of every shape, small and large against the picture, with pixel sizes that fall
// on nodes exactly and that do not, and blank nodes scattered: the raster of the whole
// grid and the one of picture_nodes alone agree bit for bit, and no node outside the
// picture's columns and rows changes the whole grid's raster.
TEST(resample, the_picture_nodes_are_all_the_raster_reads) {
    std::uint64_t state = 20261209;
    auto next = [&state] {
        state = state * 6364136223846793005ull + 1442695040888963407ull;
        return state >> 33;
    };
    const double cell_sizes[] = {1.0, 0.1, 30.9, 3.0, 1e-3};
    for (int round = 0; round < 400; ++round) {
        const std::size_t nx = 1 + next() % (round % 4 == 0 ? 9 : 700);
        const std::size_t ny = 1 + next() % (round % 5 == 0 ? 7 : 600);
        // Pictures of 2 to 40 pixels across, or of a size that divides the lattice evenly.
        const int width = round % 3 == 0 ? static_cast<int>(nx) : 2 + static_cast<int>(next() % 40);
        const int height = 2 + static_cast<int>(next() % 40);
        const double c = cell_sizes[round % 5];
        PreviewGrid grid = flat_grid(nx, ny, c, 0.0f);
        for (float& v : grid.values)
            v = next() % 23 == 0 ? B : static_cast<float>(next() % 20001) * 0.01f - 100.0f;

        const PictureNodes layout = picture_nodes(nx, ny, c, width, height);
        PictureNodes nodes = layout;
        for (std::uint32_t i : layout.columns)
            for (std::uint32_t j : layout.rows) nodes.values.push_back(grid.at(i, j));
        const PreviewRaster whole = resample_grid(grid, width, height);
        const PreviewRaster picture = resample_picture(nodes, width, height);
        SCOPED_TRACE(testing::Message() << nx << " x " << ny << " nodes of " << c << " into "
                                        << width << " x " << height);
        ASSERT_EQ(picture.cols_used, whole.cols_used);
        ASSERT_EQ(picture.rows_used, whole.rows_used);
        ASSERT_EQ(0, std::memcmp(picture.values.data(), whole.values.data(),
                                 whole.values.size() * sizeof(float)));

        // Every node but the picture's made something else: the raster stays.
        std::vector<bool> column_read(nx), row_read(ny);
        for (std::uint32_t i : layout.columns) column_read[i] = true;
        for (std::uint32_t j : layout.rows) row_read[j] = true;
        for (std::size_t i = 0; i < nx; ++i)
            for (std::size_t j = 0; j < ny; ++j)
                if (!column_read[i] || !row_read[j]) grid.values[i * ny + j] = -7e5f;
        const PreviewRaster changed = resample_grid(grid, width, height);
        ASSERT_EQ(0, std::memcmp(changed.values.data(), whole.values.data(),
                                 whole.values.size() * sizeof(float)));
        // A picture reads a few hundred columns and rows however large the lattice.
        EXPECT_LE(layout.columns.size(), 2u * static_cast<std::size_t>(whole.cols_used) + 2);
        EXPECT_LE(layout.rows.size(), 2u * static_cast<std::size_t>(whole.rows_used) + 2);
    }
}

TEST(resample, degenerate_lattices_stay_in_bounds) {
    struct Case {
        std::size_t nx, ny;
        int width, height, cols_used, rows_used;
    };
    const Case cases[] = {
        {1, 1, 8, 4, 4, 4},    {1, 5, 6, 6, 1, 6}, {300, 1, 177, 145, 177, 0},
        {1, 300, 177, 145, 0, 145}, {0, 0, 5, 5, 0, 0},  {3, 3, 0, 0, 0, 0},
    };
    for (const Case& c : cases) {
        const PreviewRaster r = resample_grid(flat_grid(c.nx, c.ny, 10.0, 4.0f), c.width, c.height);
        EXPECT_EQ(r.cols_used, c.cols_used) << c.nx << "x" << c.ny;
        EXPECT_EQ(r.rows_used, c.rows_used) << c.nx << "x" << c.ny;
        for (int m = 0; m < r.width; ++m)
            for (int k = 0; k < r.height; ++k)
                EXPECT_EQ(r.at(m, k), (m < r.cols_used && k < r.rows_used) ? 4.0f : B);
    }
}

TEST(resample, statistics_over_the_used_values) {
    PreviewRaster r;
    r.width = 3;
    r.height = 3;
    r.cols_used = 2;
    r.rows_used = 2;
    r.values = {1, 3, 99, 2, 4, 99, 99, 99, 99};  // the 99s lie outside the used part
    take_statistics(r);
    EXPECT_EQ(r.minimum, 1.0);
    EXPECT_EQ(r.maximum, 4.0);
    EXPECT_DOUBLE_EQ(r.mean, 2.5);
    EXPECT_DOUBLE_EQ(r.std_dev, std::sqrt(20.0 / 12.0));  // (4 * 30 - 100) / (3 * 4)

    r.values = {1, B, 99, 2, 4, 99, 99, 99, 99};  // a blank value is not counted
    take_statistics(r);
    EXPECT_DOUBLE_EQ(r.mean, 7.0 / 3.0);
    EXPECT_EQ(r.maximum, 4.0);
}

TEST(resample, statistics_fall_back_to_unit_spread) {
    struct Case {
        std::vector<float> values;
        double mean, minimum, maximum;
    };
    const Case cases[] = {
        {{5, 5, 5, 5}, 5.0, 5.0, 5.0},                          // flat field
        {{B, 7, B, B}, 7.0, 7.0, 7.0},                          // one value
        {{B, B, B, B}, 0.0, 1e38, -1e38},                       // none
    };
    for (const Case& c : cases) {
        PreviewRaster r;
        r.width = r.height = r.cols_used = r.rows_used = 2;
        r.values = c.values;
        take_statistics(r);
        EXPECT_EQ(r.std_dev, 1.0);
        EXPECT_DOUBLE_EQ(r.mean, c.mean);
        EXPECT_EQ(r.minimum, c.minimum);
        EXPECT_EQ(r.maximum, c.maximum);
    }
}

TEST(resample, small_spread_above_the_threshold_is_kept) {
    // One value a float step (2^-14) above three others: std_dev = 2^-15, above 1e-6.
    PreviewRaster r;
    r.width = r.height = r.cols_used = r.rows_used = 2;
    r.values = {1000.0f, 1000.00006103515625f, 1000.0f, 1000.0f};
    take_statistics(r);
    EXPECT_NEAR(r.std_dev, 3.0517578125e-05, 1e-12);
}
