#include "export/export_job.h"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

#include "engine/run/run_calculation.h"
#include "orvgrid/grid/preview_grid.h"
#include "tests/export/gdal_files.h"
#include "tests/support/fake_monitor.h"
#include "tests/support/test_points.h"

namespace fs = std::filesystem;

namespace {

bool same_float(float a, float b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// The example survey moved to negative coordinates, so that the points are stored
// shifted and every exported coordinate has to be shifted back.
class export_job : public ::testing::Test {
protected:
    void SetUp() override {
        folder_ = fs::temp_directory_path() / ("export_job_" + std::to_string(::getpid()));
        fs::create_directories(folder_);
        std::ifstream in(std::string(ORVANE_EXAMPLES) + "/sphere_survey.dat");
        std::ofstream out(folder_ / "survey.dat");
        std::string header;
        std::getline(in, header);
        out << header << '\n';
        double x, y, point, h, cba;
        while (in >> x >> y >> point >> h >> cba) {
            out << x - 4000.5 << ' ' << y - 1000.25 << ' ' << point << ' ' << h << ' ' << cba << '\n';
            west_ = std::min(west_, x - 4000.5);
        }
        out.close();
        settings_.input_file = (folder_ / "survey.dat").string();
        settings_.output_file = (folder_ / "survey_result.dat").string();
        settings_.search_radius = 300.0;
        settings_.cell_size = 30.0;
        settings_.grid_radius = 300.0;
        settings_.threads = 0;
        ASSERT_EQ(run_calculation(settings_, state_, monitor_, nullptr), 0);
        ASSERT_GT(state_.points.extent.x_offset, 0.0);
        source_.state = &state_;
        source_.search_radius = 300.0;
        source_.grid_radius = 300.0;
        source_.threads = 2;
    }
    void TearDown() override { fs::remove_all(folder_); }

    ExportPlan plan(ExportOptions options) {
        options.folder = (folder_ / "out").string();
        ExportPlanResult planned =
            plan_export(options, Tendency::Linear4x4, settings_.output_file, {settings_.input_file});
        EXPECT_EQ(planned.error, "");
        return *planned.plan;
    }

    fs::path folder_;
    double west_ = 1e300;  // the least x of the survey as written
    RunSettings settings_;
    RunState state_;
    FakeMonitor monitor_;
    ExportSource source_;
};

}  // namespace

// At the default cell size every node of the GeoTIFF is the preview's node: the float of
// its double is the preview's bits (blanks nodata); node (0, 0) sits at the survey's
// low corner as read.
TEST_F(export_job, default_grid_is_the_preview_node_grid) {
    ExportOptions options;
    options.variables = {"cba", "hggax", "tilt"};
    options.station_format.reset();
    const ExportPlan p = plan(options);
    ASSERT_EQ(run_export(p, source_, monitor_).outcome, ExportOutcome::Written);
    for (const GridVariable& v : p.variables) {
        SCOPED_TRACE(v.name);
        PreviewResult preview;
        ASSERT_EQ(gridPreviewVariable(state_.points, state_.index, v.position, 300.0, 300.0, 177,
                                      145, monitor_, preview),
                  GridOutcome::Done);
        const RasterRead r = read_raster((folder_ / "out" / ("survey_result_" + v.name + ".tif")).string());
        ASSERT_EQ(static_cast<std::size_t>(r.width), preview.grid.nx);
        ASSERT_EQ(static_cast<std::size_t>(r.height), preview.grid.ny);
        EXPECT_NEAR(r.transform[0] + 0.5 * r.transform[1], west_, 1e-9);
        EXPECT_EQ(r.transform[1], 30.0);
        for (std::size_t i = 0; i < preview.grid.nx; ++i)
            for (std::size_t j = 0; j < preview.grid.ny; ++j) {
                const double got = node_of(r, i, j);
                if (is_blank(preview.grid.at(i, j))) ASSERT_EQ(got, r.nodata);
                else ASSERT_TRUE(same_float(static_cast<float>(got), preview.grid.at(i, j)))
                    << "node " << i << ", " << j;
            }
    }
    EXPECT_EQ(std::distance(fs::directory_iterator(folder_ / "out"), fs::directory_iterator()), 3);
}

// A chosen cell size: the file's nodes are the lattice gridding's doubles, and the x
// grid holds coordinates as read (the stored ones less the offset).
TEST_F(export_job, chosen_cell_grid_holds_the_engine_nodes_in_coordinates_as_read) {
    ExportOptions options;
    options.variables = {"hggay", "x"};
    options.cell_size = 25.0;
    options.grid_format = GridFormat::Surfer7;
    ASSERT_EQ(run_export(plan(options), source_, monitor_).outcome, ExportOutcome::Written);
    const GridLattice lattice = *lattice_over_extent(state_.points.extent, 25.0, 1u << 30);
    const double offset = state_.points.extent.x_offset;
    for (int position : {6, work::x}) {
        std::vector<double> engine;
        ASSERT_EQ(grid_lattice(state_.points, state_.index, position, 300.0, 300.0, lattice,
                               monitor_, engine),
                  GridOutcome::Done);
        const RasterRead r = read_raster(
            (folder_ / "out" / (position == 6 ? "survey_result_hggay.grd" : "survey_result_x.grd")).string());
        ASSERT_EQ(static_cast<std::size_t>(r.width), lattice.nx);
        ASSERT_EQ(static_cast<std::size_t>(r.height), lattice.ny);
        EXPECT_NEAR(r.transform[0] + 0.5 * r.transform[1], lattice.origin_x - offset, 1e-9);
        for (std::size_t i = 0; i < lattice.nx; ++i)
            for (std::size_t j = 0; j < lattice.ny; ++j) {
                const double e = engine[i * lattice.ny + j];
                const double got = node_of(r, i, j);
                if (e >= BLANK_LIMIT) ASSERT_EQ(got, r.nodata);
                else ASSERT_EQ(got, position == work::x ? e - offset : e) << i << ", " << j;
            }
    }
    // The stations went along, in a GeoPackage.
    EXPECT_TRUE(fs::exists(folder_ / "out" / "survey_result.gpkg"));
}

TEST_F(export_job, a_cancelled_export_leaves_nothing_behind) {
    ExportOptions options;
    options.variables = {"hggax", "hggay"};
    const ExportPlan p = plan(options);
    monitor_.stop = true;
    monitor_.then_answer = true;
    EXPECT_EQ(run_export(p, source_, monitor_).outcome, ExportOutcome::Cancelled);
    EXPECT_EQ(monitor_.question_lines(), std::vector<std::string>{"Warning: Cancel calculation?"});
    EXPECT_TRUE(fs::is_empty(folder_ / "out"));
}

// A killed export leaves its hidden staging folder; the next export into that folder
// removes it, but never the folder of an export whose process still runs.
TEST_F(export_job, removes_the_staging_folder_a_killed_export_left) {
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) ::_exit(0);
    ASSERT_EQ(::waitpid(child, nullptr, 0), child);
    const fs::path out = folder_ / "out";
    const fs::path killed = out / (".orvane-export-" + std::to_string(child) + "-1");
    const fs::path running = out / (".orvane-export-" + std::to_string(::getppid()) + "-1");
    for (const fs::path& staging : {killed, running}) {
        fs::create_directories(staging);
        std::ofstream(staging / "survey_result_hggax.tif") << "half a grid";
    }
    ExportOptions options;
    options.variables = {"hggax"};
    ASSERT_EQ(run_export(plan(options), source_, monitor_).outcome, ExportOutcome::Written);
    EXPECT_FALSE(fs::exists(killed));
    EXPECT_TRUE(fs::exists(running / "survey_result_hggax.tif"));
    EXPECT_TRUE(fs::exists(out / "survey_result_hggax.tif"));
}

// Bad choices are refused by the plan, before any work, with a message naming them.
TEST_F(export_job, bad_choices_are_refused_before_any_work) {
    struct Case {
        std::string name;
        std::function<void(ExportOptions&)> change;
        std::string message_start;
    };
    const fs::path file = folder_ / "a_file";
    std::ofstream(file) << "x";
    const Case cases[] = {
        {"crs", [](ExportOptions& o) { o.crs = "EPSG:999999"; }, "Unknown coordinate system 'EPSG:999999'"},
        {"crs text", [](ExportOptions& o) { o.crs = "+proj=nothing"; }, "Unknown coordinate system '+proj=nothing'"},
        {"crs operation", [](ExportOptions& o) { o.crs = "+proj=axisswap +order=2,1"; },
         "Unknown coordinate system '+proj=axisswap +order=2,1'"},
        {"zero cell", [](ExportOptions& o) { o.cell_size = 0.0; }, "The cell size must be a number greater than 0, not 0"},
        {"negative cell", [](ExportOptions& o) { o.cell_size = -5.0; }, "The cell size must be a number greater than 0, not -5"},
        {"variable", [](ExportOptions& o) { o.variables = {"a"}; }, "No grid variable 'a' for this trend model"},
        {"twice", [](ExportOptions& o) { o.variables = {"tilt", "TILT_ANGLE"}; }, "The grid variable 'tilt' is asked for twice"},
        {"nothing", [](ExportOptions& o) { o.variables.clear(); o.station_format.reset(); }, "Nothing to export"},
        {"folder", [&](ExportOptions& o) { o.folder = (file / "sub").string(); }, "Cannot make the export folder"},
        {"clash", [&](ExportOptions& o) { o.folder = folder_.string(); o.station_format = StationFormat::Csv; },
         "The export would overwrite '"},
    };
    std::ofstream(folder_ / "survey_result.csv") << "x,y\n";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ExportOptions options;
        options.variables = {"hggax"};
        options.folder = (folder_ / "refused").string();
        c.change(options);
        const ExportPlanResult planned =
            plan_export(options, Tendency::Linear4x4, settings_.output_file,
                        {settings_.input_file, (folder_ / "survey_result.csv").string()});
        EXPECT_FALSE(planned.plan);
        EXPECT_EQ(planned.error.rfind(c.message_start, 0), 0u) << planned.error;
    }
    EXPECT_FALSE(fs::exists(folder_ / "refused"));
    // A cell size that asks for more nodes than memory allows is refused before the grid
    // is allocated, by the lattice check and again by the export itself.
    const GridSize size = export_lattice(state_.points.extent, 0.001, 1u << 30);
    EXPECT_FALSE(size.lattice);
    EXPECT_NE(size.error.find("more than the memory allows"), std::string::npos) << size.error;
    ExportOptions tiny;
    tiny.variables = {"hggax"};
    tiny.cell_size = 1e-4;
    EXPECT_EQ(run_export(plan(tiny), source_, monitor_).outcome, ExportOutcome::Failed);
    ASSERT_EQ(monitor_.messages.size(), 1u);
    EXPECT_EQ(monitor_.messages[0].rfind("A cell size of 0.0001 needs", 0), 0u);
    EXPECT_TRUE(fs::is_empty(folder_ / "out"));
}
