// orvane-batch run as a user runs it: its files must be byte for byte those of the
// calculation called directly with the same settings, its exit statuses as documented.

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "batch/batch_previews.h"
#include "batch/console_monitor.h"
#include "orvgrid/files/image_files.h"
#include "orvgrid/preview_set.h"
#include "engine/run/run_calculation.h"
#include "engine/run/run_checks.h"
#include "settings/settings_file.h"
#include "settings/settings_values.h"
#include "engine/run/run_state.h"
#include "tests/support/program_run.h"
#include "tests/support/temp_folder.h"

namespace fs = std::filesystem;

namespace {

std::size_t line_count(const std::string& text) {
    std::size_t n = 0;
    for (char c : text) n += c == '\n';
    return n;
}

const std::string kSurvey = std::string(ORVANE_TEST_DATA) + "/reference/c01_sphere_l4_svd/survey.dat";
const std::string kSubsetSurvey =
    std::string(ORVANE_TEST_DATA) + "/reference/c06_sphere_l3_tik_fixed/survey.dat";
const std::string kSubset =
    std::string(ORVANE_TEST_DATA) + "/reference/c06_sphere_l3_tik_fixed/subset.dat";

class orvane_batch : public ::testing::Test {
protected:
    std::string path(const std::string& name) const { return temp_.path(name); }

    // Runs the program with stdout and stderr caught, in the "C" number format.
    ProgramOutcome run(const std::vector<std::string>& args) {
        ProgramSetup setup;
        setup.catch_folder = temp_.folder();
        return run_program(ORVANE_BATCH_EXE, args, setup);
    }

    // The same run called directly, as the window does.
    std::string run_directly(RunSettings s, PreviewSet* previews = nullptr) {
        s.trace_file = derive_trace_file(s.input_file);
        s.cell_size = 0.1 * s.search_radius;
        if (s.grid_radius < 1e-6) s.grid_radius = s.search_radius;
        s.preview = previews != nullptr;
        RunState state;
        std::FILE* sink = std::tmpfile();
        ConsoleMonitor monitor(sink, OnFailed::Skip, false);
        EXPECT_EQ(run_calculation(s, state, monitor, previews), 0);
        std::fclose(sink);
        return file_text(s.output_file);
    }

    // Two areas far apart: varied heights, then a flat one where centring the height to
    // the point leaves a zero column, so Gauss-Jordan fails for points 13 to 18.
    std::string flat_survey() {
        std::string text;
        int number = 1;
        char line[128];
        for (int i = 0; i < 4; ++i)
            for (int k = 0; k < 3; ++k) {
                double x = 100 + 70 * i + 5 * k, y = 100 + 60 * k + 3 * i;
                std::snprintf(line, sizeof line, "%.2f %.2f %d %.2f %.4f\n", x, y, number++,
                              300 + 0.1 * x - 0.05 * y + (i * k) % 3, -10 + 0.001 * x * y / 100);
                text += line;
            }
        for (int i = 0; i < 3; ++i)
            for (int k = 0; k < 2; ++k) {
                std::snprintf(line, sizeof line, "%d %d %d 100.00 %.4f\n", 5000 + 80 * i,
                              5000 + 90 * k, number++, -12 + 0.01 * i + 0.02 * k);
                text += line;
            }
        std::ofstream(path("flat.dat")) << text;
        return path("flat.dat");
    }

    TempFolder temp_{"orvane_batch"};
};

}  // namespace

TEST_F(orvane_batch, result_files_are_those_of_the_calculation) {
    struct Case {
        const char* name;
        std::vector<std::string> args;
        RunSettings settings;
    };
    std::vector<Case> cases;
    {
        RunSettings s;
        s.search_radius = 350;
        cases.push_back({"defaults", {"-r", "350"}, s});
    }
    {
        RunSettings s;
        s.search_radius = 350;
        s.tendency = Tendency::Quadratic10x10;
        s.iterations = 2;
        s.iteration_object = 1;
        s.alpha = 0.05;
        cases.push_back({"quadratic",
                         {"-r", "350", "-t", "quadratic", "--iterations", "2", "--object", "LGA",
                          "--alpha", "0.05"},
                         s});
    }
    {
        RunSettings s;
        s.search_radius = 300;
        s.search_mode = SearchMode::NNearest;
        s.nearest_count = 15;
        s.tendency = Tendency::Linear6x6;
        s.sv_threshold = 1e-3;
        s.centering_x = CenteringMode::CenterToMean;
        s.include_calc_point = true;
        s.threads = 2;
        cases.push_back({"nearest",
                         {"--radius=300", "--nearest", "15", "-t", "2", "--threshold", "1e-3",
                          "--center-x", "mean", "--include-calc-point", "--threads", "2"},
                         s});
    }
    for (Case& c : cases) {
        c.settings.input_file = kSurvey;
        c.settings.output_file = path(std::string("direct_") + c.name + ".dat");
        std::vector<std::string> args = c.args;
        args.push_back(kSurvey);
        args.push_back(path(std::string("batch_") + c.name + ".dat"));
        ProgramOutcome o = run(args);
        EXPECT_EQ(o.status, 0) << c.name << ": " << o.err;
        EXPECT_EQ(o.out, "");
        EXPECT_EQ(o.err, "") << c.name;
        std::string expected = run_directly(c.settings);
        EXPECT_GT(line_count(expected), 2u);
        EXPECT_EQ(file_text(args.back()), expected) << c.name;
    }
}

TEST_F(orvane_batch, trace_file_is_that_of_the_calculation) {
    fs::copy_file(kSubsetSurvey, path("batch.dat"));
    fs::copy_file(kSubsetSurvey, path("direct.dat"));
    ProgramOutcome o = run({"-r", "380", "-t", "linear3", "-s", "tikhonov", "--center-x", "mean",
                     "--center-y", "mean", "--center-z", "point", "--subset", kSubset,
                     path("batch.dat"), path("batch_out.dat")});
    ASSERT_EQ(o.status, 0) << o.err;
    RunSettings s;
    s.input_file = path("direct.dat");
    s.output_file = path("direct_out.dat");
    s.subset_file = kSubset;
    s.search_radius = 380;
    s.tendency = Tendency::Linear3x3;
    s.solver = SolverKind::Tichonov;
    s.centering_x = s.centering_y = CenteringMode::CenterToMean;
    s.centering_z = CenteringMode::CenterToPoint;
    std::string expected = run_directly(s);
    std::string got = file_text(path("batch_out.dat"));
    // Line 1 names the input file; the rest must agree byte for byte.
    EXPECT_EQ(got.substr(got.find('\n')), expected.substr(expected.find('\n')));
    std::string trace = file_text(path("direct_trace_out.dat"));
    EXPECT_FALSE(trace.empty());
    EXPECT_EQ(file_text(path("batch_trace_out.dat")), trace);
}

TEST_F(orvane_batch, settings_file_gives_the_same_run_as_the_options) {
    SettingsValues v;
    v.txt_in = kSurvey;
    v.txt_out = path("from_settings.dat");
    v.txt_radius = 400;
    v.rg_tendencies = 0;
    v.rg_method = 0;
    v.cmb_centerz = 2;
    v.cmb_centeru = 2;
    SettingsBlock block;
    ASSERT_TRUE(store_settings_values(v, block).ok);
    ASSERT_TRUE(write_settings_file(path("orvane.cfg"), block).ok);

    ProgramOutcome a = run({"--settings", path("orvane.cfg")});
    ASSERT_EQ(a.status, 0) << a.err;
    ProgramOutcome b = run({"-r", "400", "-t", "linear3", "-s", "gauss-jordan", "--center-z", "point",
                     "--center-cba", "point", kSurvey, path("from_options.dat")});
    ASSERT_EQ(b.status, 0) << b.err;
    EXPECT_GT(line_count(file_text(path("from_options.dat"))), 2u);
    EXPECT_EQ(file_text(path("from_settings.dat")), file_text(path("from_options.dat")));
}

TEST_F(orvane_batch, preview_files_are_those_the_window_saves) {
    const std::vector<std::pair<std::string, PreviewFormat>> formats = {
        {"bmp", PreviewFormat::Bitmap}, {"jpg", PreviewFormat::Jpeg},
        {"grd", PreviewFormat::SurferGrid}};
    RunSettings s;
    s.input_file = kSurvey;
    s.output_file = path("direct.dat");
    s.search_radius = 350;
    s.preview_var1 = 0;
    s.preview_var2 = 6;
    s.preview_var3 = 4;
    PreviewSet previews;
    run_directly(s, &previews);
    s.cell_size = 35;
    for (const auto& [flag, format] : formats) {
        const std::string dir = path("maps_" + flag);
        ProgramOutcome o = run({"-r", "350", "--preview", dir, "--preview-format", flag,
                         "--preview-vars", "HEIGHT,ASIG,RGA", kSurvey, path("batch.dat")});
        ASSERT_EQ(o.status, 0) << o.err;
        const std::vector<std::string> names = {"height_r=350_iter=0_object=rga." + flag,
                                                "asig_r=350_iter=0_object=rga." + flag,
                                                "rga_r=350_iter=0_object=rga." + flag};
        for (int slot = 1; slot <= 3; ++slot) {
            const std::string name = names[static_cast<std::size_t>(slot - 1)];
            EXPECT_EQ(preview_file_name(slot, s, format), name);
            const std::string direct = path("direct_" + name);
            FileWriteResult w = format == PreviewFormat::Bitmap
                                    ? write_bitmap_file(previews.image(slot), direct)
                                : format == PreviewFormat::Jpeg
                                    ? write_jpeg_file(previews.image(slot), direct)
                                    : write_surfer_grid(previews.result(slot).grid, direct);
            ASSERT_TRUE(w.ok) << w.message;
            std::string written = file_text(dir + "/" + name);
            EXPECT_FALSE(written.empty()) << name;
            EXPECT_EQ(written, file_text(direct)) << name;
        }
    }
}

TEST_F(orvane_batch, exit_statuses) {
    ProgramOutcome o = run({"-r", "350", path("missing.dat"), path("out.dat")});
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(o.err,
              "Cannot open input data file\n" + path("missing.dat") + ": No such file or directory\n");

    // A radius that fails the start-up check is a wrong command line: nothing ran.
    for (const char* radius : {"0", "-5", "1e-6"}) {
        o = run({"-r", radius, kSurvey, path("out.dat")});
        EXPECT_EQ(o.status, 2) << radius;
        EXPECT_EQ(o.err, "Search radius must be greater than 0.\n");
    }
    o = run({kSurvey, path("out.dat")});
    EXPECT_EQ(o.status, 2);
    EXPECT_EQ(o.err, "Search radius must be greater than 0.\n");
    EXPECT_FALSE(fs::exists(path("out.dat")));

    o = run({"-r", "", kSurvey, path("out.dat")});
    EXPECT_EQ(o.status, 2);
    EXPECT_EQ(o.err,
              "orvane-batch: invalid value '' for --radius: expected a number written with '.' "
              "as decimal separator\nTry 'orvane-batch --help' for more information.\n");

    o = run({"--frobnicate", kSurvey, path("out.dat")});
    EXPECT_EQ(o.status, 2);
    EXPECT_EQ(o.err,
              "orvane-batch: unknown option '--frobnicate'\nTry 'orvane-batch --help' for more "
              "information.\n");

    o = run({"--help"});
    EXPECT_EQ(o.status, 0);
    EXPECT_EQ(o.out.rfind("Usage: orvane-batch [OPTIONS] INPUT OUTPUT\n", 0), 0u);
    o = run({"--version"});
    EXPECT_EQ(o.status, 0);
    EXPECT_EQ(o.out.rfind("orvane-batch ", 0), 0u);
}

TEST_F(orvane_batch, failed_points_are_skipped_and_listed) {
    const std::string input = flat_survey();
    ProgramOutcome o = run({"-r", "400", "-s", "gauss-jordan", "--center-z", "point", input,
                     path("skip.dat")});
    EXPECT_EQ(o.status, 0);
    EXPECT_EQ(o.err, "6 points have no row (system could not be solved): 13, 14, 15, 16, 17, 18\n");
    std::string rows = file_text(path("skip.dat"));
    EXPECT_EQ(line_count(rows), 2u + 12u);
    EXPECT_EQ(rows.find("        13         "), std::string::npos);
}

TEST_F(orvane_batch, failed_point_stops_the_run_when_asked) {
    const std::string input = flat_survey();
    ProgramOutcome o = run({"-r", "400", "-s", "gauss-jordan", "--center-z", "point", "--on-failed",
                     "stop", input, path("stop.dat")});
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(o.err, "Error in SLE - Check coordinate of point 13. Stopped (--on-failed stop).\n");
    EXPECT_EQ(line_count(file_text(path("stop.dat"))), 2u + 12u);  // the rows before it stay
}
