// A result file loaded back shows the maps of the run that wrote it: the loader puts
// every column where the run keeps it, so the preview lists grid the same values. The
// file holds the quantities with six decimals, hence a tolerance for those maps; the
// first preview (heights, CBA) must come back exactly.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "orvgrid/preview_set.h"
#include "engine/points/result_loader.h"
#include "engine/run/run_calculation.h"
#include "tests/support/fake_monitor.h"
#include "engine/run/run_state.h"

namespace fs = std::filesystem;

namespace {

std::string write_survey(const fs::path& folder) {
    std::string text;
    int number = 1;
    char line[128];
    for (int i = 0; i < 8; ++i)
        for (int k = 0; k < 8; ++k) {
            double x = 1000.0 + 37.0 * i + 3.0 * k, y = 2000.0 + 41.0 * k + 2.0 * i;
            double h = 300.0 + 0.05 * x - 0.02 * y + 0.3 * ((i * k) % 4);
            double g = 0.00002 * (x - 1100) * (y - 2150) + 0.002 * h;
            std::snprintf(line, sizeof line, "%.2f %.2f %d %.3f %.6f\n", x, y, number++, h, g);
            text += line;
        }
    const std::string path = (folder / "survey.dat").string();
    std::ofstream(path) << text;
    return path;
}

void expect_same_raster(const PreviewRaster& run, const PreviewRaster& loaded, double tolerance,
                        const std::string& what) {
    ASSERT_EQ(run.cols_used, loaded.cols_used) << what;
    ASSERT_EQ(run.rows_used, loaded.rows_used) << what;
    ASSERT_EQ(run.values.size(), loaded.values.size()) << what;
    for (std::size_t i = 0; i < run.values.size(); ++i) {
        if (tolerance == 0.0)
            ASSERT_EQ(run.values[i], loaded.values[i]) << what << " pixel " << i;
        else
            // Six decimals in the file, plus the single precision of the raster.
            ASSERT_NEAR(run.values[i], loaded.values[i],
                        tolerance + 2.5e-7 * std::fabs(run.values[i]))
                << what << " pixel " << i;
    }
}

}  // namespace

TEST(result_loader_maps, every_tendency_loads_back_to_its_maps) {
    std::string pattern = (fs::temp_directory_path() / "orvane_maps_XXXXXX").string();
    const fs::path folder = ::mkdtemp(pattern.data());
    const std::string survey = write_survey(folder);

    struct Case {
        Tendency run;
        Tendency loaded;
        int var2, var3;  // list indices showing the same quantity in both lists
    };
    const Case cases[] = {
        {Tendency::Linear3x3, Tendency::Linear3x3, 3, 5},
        {Tendency::Linear4x4, Tendency::Linear4x4, 4, 7},
        {Tendency::Linear6x6, Tendency::Linear6x6, 0, 5},
        {Tendency::Quadratic10x10, Tendency::Quadratic10x10, 3, 9},
        {Tendency::Linear3x3NteFay, Tendency::Linear3x3, 1, 3},
    };
    for (const Case& c : cases) {
        const std::string what = "tendency " + std::to_string(static_cast<int>(c.run));
        RunSettings s;
        s.input_file = survey;
        s.output_file = (folder / "result.dat").string();
        s.search_radius = 120.0;
        s.cell_size = 12.0;
        s.grid_radius = 120.0;
        s.tendency = c.run;
        s.preview = true;
        s.preview_var1 = 0;
        s.preview_var2 = c.var2;
        s.preview_var3 = c.var3;
        RunState run;
        PreviewSet run_maps;
        FakeMonitor monitor;
        ASSERT_EQ(run_calculation(s, run, monitor, &run_maps), 0) << what;

        RunState loaded;
        ResultLoadOptions options;
        options.path = s.output_file;
        ResultLoad load = load_result_file(options, loaded, monitor);
        ASSERT_EQ(load.outcome, LoadOutcome::Loaded) << what;
        EXPECT_EQ(load.tendency, c.loaded) << what;
        PreviewSet loaded_maps;
        const int vars[3] = {0, c.var2, c.var3};
        for (int slot = 1; slot <= 3; ++slot) {
            ASSERT_EQ(loaded_maps.grid_slot(slot, vars[slot - 1], load.tendency,
                                            load.search_radius, load.grid_radius, loaded, monitor),
                      GridOutcome::Done)
                << what;
            ASSERT_TRUE(run_maps.has_result(slot)) << what;
            expect_same_raster(run_maps.result(slot).raster, loaded_maps.result(slot).raster,
                               slot == 1 ? 0.0 : 1e-6, what + " slot " + std::to_string(slot));
        }
        EXPECT_TRUE(monitor.messages.empty()) << what;
    }
    fs::remove_all(folder);
}
