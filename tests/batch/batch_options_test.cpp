#include "batch/batch_options.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

BatchOptions parsed(std::vector<std::string> args) {
    OptionsParse p = parse_batch_options(args);
    EXPECT_TRUE(p.options) << p.error;
    return p.options.value_or(BatchOptions{});
}

}  // namespace

TEST(batch_options, names_and_defaults) {
    BatchOptions o = parsed({"in.dat", "out.dat"});
    EXPECT_EQ(o.input_file, "in.dat");
    EXPECT_EQ(o.output_file, "out.dat");
    EXPECT_FALSE(o.search_radius);
    EXPECT_FALSE(o.tendency);
    EXPECT_FALSE(o.nearest_count);
    EXPECT_EQ(o.on_failed, OnFailed::Skip);
    EXPECT_EQ(o.preview_format, PreviewFormat::Bitmap);
    EXPECT_FALSE(o.quiet);
    EXPECT_FALSE(o.include_calc_point);
}

TEST(batch_options, reads_every_option) {
    BatchOptions o = parsed(
        {"-r", "350.5", "-t", "quadratic", "-s", "tikhonov", "--nearest", "12", "--iterations",
         "3", "--object", "LGA", "--alpha", "0.02", "--threshold=-1", "--min-alpha", "1e-8",
         "--max-alpha", "1E8", "--quotient", "1.5", "--center-x", "none", "--center-y", "mean",
         "--center-z", "point", "--center-cba", "1", "--include-calc-point", "--columns",
         "b,a,C,e,D", "--subset", "sub.dat", "--on-failed", "stop", "-q", "--threads", "0",
         "--settings", "orvane.cfg", "--preview", "maps", "--preview-vars", "cba,coeff_0,COEFF_9",
         "--preview-format", "grd", "--grid-radius", "80", "--", "-in.dat", "out.dat"});
    EXPECT_EQ(o.search_radius, 350.5);
    EXPECT_EQ(o.tendency, Tendency::Quadratic10x10);
    EXPECT_EQ(o.solver, SolverKind::Tichonov);
    EXPECT_EQ(o.nearest_count, 12);
    EXPECT_EQ(o.iterations, 3);
    EXPECT_EQ(o.iteration_object, 1);
    EXPECT_EQ(o.alpha, 0.02);
    EXPECT_EQ(o.sv_threshold, -1.0);
    EXPECT_EQ(o.min_alpha, 1e-8);
    EXPECT_EQ(o.max_alpha, 1e8);
    EXPECT_EQ(o.sequence_quotient, 1.5);
    EXPECT_EQ(o.centering_x, CenteringMode::NotCenter);
    EXPECT_EQ(o.centering_y, CenteringMode::CenterToMean);
    EXPECT_EQ(o.centering_z, CenteringMode::CenterToPoint);
    EXPECT_EQ(o.centering_cba, CenteringMode::CenterToMean);
    EXPECT_TRUE(o.include_calc_point);
    EXPECT_EQ(o.columns, (std::vector<int>{1, 0, 2, 4, 3}));
    EXPECT_EQ(o.subset_file, "sub.dat");
    EXPECT_EQ(o.on_failed, OnFailed::Stop);
    EXPECT_TRUE(o.quiet);
    EXPECT_EQ(o.threads, 0u);
    EXPECT_EQ(o.settings_file, "orvane.cfg");
    EXPECT_EQ(o.preview_dir, "maps");
    EXPECT_EQ(o.preview_vars, (std::vector<std::string>{"cba", "coeff_0", "COEFF_9"}));
    EXPECT_EQ(o.preview_format, PreviewFormat::SurferGrid);
    EXPECT_EQ(o.grid_radius, 80.0);
    EXPECT_EQ(o.input_file, "-in.dat");  // after "--" a name may start with '-'
}

TEST(batch_options, enumerations_by_name_and_number) {
    const std::vector<std::pair<std::string, Tendency>> tendencies = {
        {"linear3", Tendency::Linear3x3},   {"linear4", Tendency::Linear4x4},
        {"linear6", Tendency::Linear6x6},   {"quadratic", Tendency::Quadratic10x10},
        {"nte-fay", Tendency::Linear3x3NteFay}, {"0", Tendency::Linear3x3},
        {"4", Tendency::Linear3x3NteFay},
    };
    for (const auto& [text, tendency] : tendencies)
        EXPECT_EQ(parsed({"-t", text, "a", "b"}).tendency, tendency) << text;
    const std::vector<std::pair<std::string, SolverKind>> solvers = {
        {"gauss-jordan", SolverKind::GaussJordan}, {"moore-penrose", SolverKind::MoorePenrose},
        {"tikhonov", SolverKind::Tichonov},        {"2", SolverKind::Tichonov},
    };
    for (const auto& [text, solver] : solvers)
        EXPECT_EQ(parsed({"--solver=" + text, "a", "b"}).solver, solver) << text;
    EXPECT_EQ(parsed({"--preview-format", "jpg", "a", "b"}).preview_format, PreviewFormat::Jpeg);
}

TEST(batch_options, help_and_version_need_nothing_else) {
    EXPECT_TRUE(parsed({"--help"}).help);
    EXPECT_TRUE(parsed({"-h"}).help);
    EXPECT_TRUE(parsed({"--version"}).version);
    BatchOptions o = parsed({"--settings", "w.cfg"});  // names may come from the file
    EXPECT_FALSE(o.input_file);
    EXPECT_EQ(o.settings_file, "w.cfg");
}

TEST(batch_options, refuses_bad_command_lines_with_a_clear_message) {
    struct Case {
        std::vector<std::string> args;
        std::string error;
    };
    const Case cases[] = {
        {{}, "INPUT and OUTPUT are needed (or a --settings file that names them)"},
        {{"in.dat"}, "both INPUT and OUTPUT are needed"},
        {{"a", "b", "c"}, "too many file names: 'c'"},
        {{"--bogus", "a", "b"}, "unknown option '--bogus'"},
        {{"-x", "a", "b"}, "unknown option '-x'"},
        {{"a", "b", "-r"}, "option '--radius' needs a value"},
        {{"-r", "12,5", "a", "b"},
         "invalid value '12,5' for --radius: expected a number written with '.' as decimal "
         "separator"},
        {{"-r", "", "a", "b"},
         "invalid value '' for --radius: expected a number written with '.' as decimal "
         "separator"},
        {{"-r", "nan", "a", "b"},
         "invalid value 'nan' for --radius: expected a number written with '.' as decimal "
         "separator"},
        {{"-t", "cubic", "a", "b"},
         "invalid value 'cubic' for --tendency: expected linear3, linear4, linear6, quadratic, "
         "nte-fay or 0..4"},
        {{"-t", "5", "a", "b"},
         "invalid value '5' for --tendency: expected linear3, linear4, linear6, quadratic, "
         "nte-fay or 0..4"},
        {{"-s", "-1", "a", "b"},
         "invalid value '-1' for --solver: expected gauss-jordan, moore-penrose, tikhonov or "
         "0..2"},
        {{"--iterations", "10001", "a", "b"},
         "invalid value '10001' for --iterations: expected a whole number from 0 to 10000"},
        {{"--iterations", "1.5", "a", "b"},
         "invalid value '1.5' for --iterations: expected a whole number from 0 to 10000"},
        {{"--nearest", "ten", "a", "b"},
         "invalid value 'ten' for --nearest: expected a whole number"},
        {{"--object", "ABC", "a", "b"}, "invalid value 'ABC' for --object: expected RGA or LGA"},
        {{"--center-z", "middle", "a", "b"},
         "invalid value 'middle' for --center-z: expected none, mean, point or 0..2"},
        {{"--columns", "A,B,C,D", "a", "b"},
         "invalid value 'A,B,C,D' for --columns: expected five column letters A..Z, such as "
         "A,B,C,D,E"},
        {{"--columns", "A,B,C,D,1", "a", "b"},
         "invalid value 'A,B,C,D,1' for --columns: expected five column letters A..Z, such as "
         "A,B,C,D,E"},
        {{"--on-failed", "ask", "a", "b"},
         "invalid value 'ask' for --on-failed: expected stop or skip"},
        {{"--threads", "-2", "a", "b"},
         "invalid value '-2' for --threads: expected a whole number, 0 for all cores"},
        {{"--preview-vars", "CBA,HGGAX", "a", "b"},
         "invalid value 'CBA,HGGAX' for --preview-vars: expected three list entries, such as "
         "CBA,HGGAX,HGGAY"},
        {{"--preview-format", "png", "a", "b"},
         "invalid value 'png' for --preview-format: expected bmp, jpg or grd"},
        {{"--quiet=yes", "a", "b"}, "option '--quiet' takes no value"},
    };
    for (const auto& c : cases) {
        OptionsParse p = parse_batch_options(c.args);
        EXPECT_FALSE(p.options) << c.error;
        EXPECT_EQ(p.error, c.error);
    }
}

TEST(batch_options, usage_names_every_option) {
    const std::string usage = batch_usage();
    for (const char* option :
         {"--radius", "--tendency", "--solver", "--nearest", "--iterations", "--object",
          "--alpha", "--threshold", "--min-alpha", "--max-alpha", "--quotient", "--center-x",
          "--center-y", "--center-z", "--center-cba", "--include-calc-point", "--columns",
          "--subset", "--on-failed", "--threads", "--settings", "--preview", "--preview-vars",
          "--preview-format", "--grid-radius", "--quiet", "--help", "--version"})
        EXPECT_NE(usage.find(option), std::string::npos) << option;
}
