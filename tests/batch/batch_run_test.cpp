#include "batch/batch_run.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "settings/settings_file.h"
#include "settings/settings_values.h"
#include "tests/support/temp_folder.h"

namespace fs = std::filesystem;

namespace {

class batch_run : public ::testing::Test {
protected:
    std::string path(const std::string& name) const { return temp_.path(name); }

    PlanResult plan(std::vector<std::string> args) {
        OptionsParse p = parse_batch_options(args);
        EXPECT_TRUE(p.options) << p.error;
        if (!p.options) return {};
        return plan_batch_run(*p.options, '.');
    }

    TempFolder temp_{"orvane_plan"};
};

}  // namespace

TEST_F(batch_run, start_up_checks_in_the_order_and_words_of_calc) {
    struct Case {
        std::vector<std::string> args;
        std::string message;
    };
    const Case cases[] = {
        {{"", ""}, "Input file name is required field."},
        {{"", "out.dat", "-r", "0"}, "Input file name is required field."},
        {{"in.dat", "", "-r", "0"}, "Output file name is required field."},
        {{"a.dat", "a.dat", "-r", "0"}, "Input and output file name must not be the same."},
        {{"a.dat", "b.dat"}, "Search radius must be greater than 0."},
        {{"a.dat", "b.dat", "-r", "0"}, "Search radius must be greater than 0."},
        {{"a.dat", "b.dat", "-r", "1e-6"}, "Search radius must be greater than 0."},
        {{"a.dat", "b.dat", "-r", "-5"}, "Search radius must be greater than 0."},
        {{"a.dat", "b.dat", "-r", "100", "--nearest", "0"}, "N nearest points must be at least 1."},
        {{"a.dat", "b.dat", "-r", "100", "-s", "tikhonov", "--quotient", "1"},
         "Sequence quotient must be greater than 1."},
    };
    for (const auto& c : cases) {
        PlanResult r = plan(c.args);
        EXPECT_FALSE(r.plan) << c.message;
        EXPECT_EQ(r.error, c.message);
    }
}

TEST_F(batch_run, captures_like_calc) {
    PlanResult r = plan({"data/survey.v2.dat", "A.dat", "-r", "1.1e-6"});
    ASSERT_TRUE(r.plan) << r.error;
    const RunSettings& s = r.plan->settings;
    EXPECT_EQ(s.trace_file, "data/survey.v2_trace_out.dat");
    EXPECT_EQ(s.search_radius, 1.1e-6);
    EXPECT_EQ(s.cell_size, 0.1 * 1.1e-6);
    EXPECT_EQ(s.grid_radius, 1.1e-6);  // replaced: no grid radius given
    EXPECT_FALSE(s.preview);
    EXPECT_EQ(s.tendency, Tendency::Linear4x4);
    EXPECT_EQ(s.solver, SolverKind::MoorePenrose);
    EXPECT_EQ(s.centering_x, CenteringMode::CenterToPoint);
    EXPECT_EQ(s.centering_z, CenteringMode::NotCenter);
    EXPECT_EQ(s.decimal_separator, '.');
    EXPECT_EQ(s.threads, 0u);  // all cores unless asked otherwise

    r = plan({"a.dat", "b.dat", "-r", "500", "--grid-radius", "1e-6", "--threads", "1"});
    ASSERT_TRUE(r.plan);
    EXPECT_EQ(r.plan->settings.grid_radius, 1e-6);  // not below 1e-6: kept
    EXPECT_EQ(r.plan->settings.threads, 1u);
}

TEST_F(batch_run, options_override_a_settings_file) {
    SettingsValues v;
    v.txt_in = "window_in.dat";
    v.txt_out = "window_out.dat";
    v.txt_log = "window_subset.dat";
    v.txt_radius = 250.0;
    v.txt_nearest = 60.0;
    v.rg_tendencies = 3;
    v.rg_method = 2;
    v.txt_threshold = 0.5;
    v.cmb_gx = 5;
    v.cb2 = 9;
    v.cb3 = 8;
    v.txt_iter = 2;
    v.cb_iter = 1;
    SettingsBlock block;
    ASSERT_TRUE(store_settings_values(v, block).ok);
    ASSERT_TRUE(write_settings_file(path("w.cfg"), block).ok);

    PlanResult r = plan({"--settings", path("w.cfg")});
    ASSERT_TRUE(r.plan) << r.error;
    const RunSettings& s = r.plan->settings;
    EXPECT_EQ(s.input_file, "window_in.dat");
    EXPECT_EQ(s.output_file, "window_out.dat");
    EXPECT_EQ(s.subset_file, "window_subset.dat");
    EXPECT_EQ(s.search_radius, 250.0);
    EXPECT_EQ(s.cell_size, 25.0);
    EXPECT_EQ(s.grid_radius, 60.0);
    EXPECT_EQ(s.tendency, Tendency::Quadratic10x10);
    EXPECT_EQ(s.solver, SolverKind::Tichonov);
    EXPECT_EQ(s.sv_threshold, 0.5);
    EXPECT_EQ(s.column_x, 5);
    EXPECT_EQ(s.iterations, 2);
    EXPECT_EQ(s.iteration_object, 1);
    EXPECT_EQ(s.preview_var2, 9);
    EXPECT_EQ(s.preview_var3, 8);

    r = plan({"--settings", path("w.cfg"), "-r", "300", "-t", "linear4", "--subset", "",
              "in.dat", "out.dat"});
    ASSERT_TRUE(r.plan) << r.error;
    EXPECT_EQ(r.plan->settings.input_file, "in.dat");
    EXPECT_EQ(r.plan->settings.subset_file, "");
    EXPECT_EQ(r.plan->settings.search_radius, 300.0);
    EXPECT_EQ(r.plan->settings.tendency, Tendency::Linear4x4);
    EXPECT_EQ(r.plan->settings.solver, SolverKind::Tichonov);
    EXPECT_EQ(r.plan->settings.preview_var2, 0);  // 9 is above linear4's bound of 6

    r = plan({"--settings", path("none.cfg"), "a", "b"});
    EXPECT_FALSE(r.plan);
    EXPECT_EQ(r.error, "cannot read settings file '" + path("none.cfg") + "'");
}

TEST_F(batch_run, preview_entries_are_checked_against_the_tendency) {
    PlanResult r = plan({"a.dat", "b.dat", "-r", "100", "-t", "linear6", "--preview",
                         path("maps"), "--preview-vars", "height,coeff_5,COEFF_0"});
    ASSERT_TRUE(r.plan) << r.error;
    EXPECT_TRUE(r.plan->settings.preview);
    EXPECT_EQ(r.plan->settings.preview_var1, 0);
    EXPECT_EQ(r.plan->settings.preview_var2, 5);
    EXPECT_EQ(r.plan->settings.preview_var3, 0);
    EXPECT_TRUE(fs::is_directory(path("maps")));

    r = plan({"a.dat", "b.dat", "-r", "100", "-t", "linear3", "--preview-vars", "CBA,RGA,TILT"});
    EXPECT_FALSE(r.plan);
    EXPECT_EQ(r.error,
              "preview 2 has no entry 'RGA' for this tendency (entries: HGGAX, HGGAY, HGGA, "
              "VGGA, ASIG, TILT)");

    std::ofstream(path("file")) << "x";
    r = plan({"a.dat", "b.dat", "-r", "100", "--preview", path("file")});
    EXPECT_FALSE(r.plan);
    EXPECT_EQ(r.error, "cannot make preview folder '" + path("file") + "'");
}

// Ctrl-C stops the run at the next point as Stop + Yes does: the rows so far stay.
TEST_F(batch_run, interrupt_stops_with_130_and_keeps_the_rows) {
    std::ofstream(path("in.dat")) << "0 0 1 10 1\n10 0 2 11 2\n0 10 3 12 3\n10 10 4 13 4\n"
                                     "5 5 5 14 5\n";
    PlanResult r = plan({path("in.dat"), path("out.dat"), "-r", "100"});
    ASSERT_TRUE(r.plan) << r.error;
    std::FILE* messages = std::tmpfile();
    ConsoleMonitor monitor(messages, OnFailed::Skip, false);
    install_interrupt_handler();
    std::raise(SIGINT);
    EXPECT_EQ(execute_batch_run(*r.plan, monitor), EXIT_INTERRUPTED);
    std::signal(SIGINT, SIG_DFL);
    std::fclose(messages);
    std::ifstream out(path("out.dat"));
    std::size_t lines = 0;
    for (std::string line; std::getline(out, line);) ++lines;
    EXPECT_EQ(lines, 3u);  // two header lines and the first point's row
}
