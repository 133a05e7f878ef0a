// orvane-batch's export as a user runs it: GDAL's own tools open every written format
// with the survey's coordinates, bad options end with status 2 and leave nothing
// written, failures with status 1.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tests/support/program_run.h"
#include "tests/support/temp_folder.h"

namespace fs = std::filesystem;

namespace {

std::size_t count_of(const std::string& text, const std::string& part) {
    std::size_t n = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
    return n;
}

const std::string kSurvey = std::string(ORVANE_EXAMPLES) + "/sphere_survey.dat";

class batch_export : public ::testing::Test {
protected:
    std::string path(const std::string& name) const { return temp_.path(name); }

    // Runs a program (orvane-batch unless `program` is given) with its output caught.
    ProgramOutcome run(const std::vector<std::string>& args, const char* program = ORVANE_BATCH_EXE) {
        ProgramSetup setup;
        setup.catch_folder = temp_.folder();
        return run_program(program, args, setup);
    }

    TempFolder temp_{"batch_export"};
};

}  // namespace

// One run writes a GeoTIFF and a GeoPackage; the result file is then exported again into
// every other format without recomputing. gdalinfo -stats and ogrinfo open them all;
// gdalinfo puts the first node (the survey's least x and greatest node row) at the
// centre of the upper left pixel.
TEST_F(batch_export, gdal_tools_open_every_written_format_at_the_survey_coordinates) {
    const std::string result = path("sphere.dat");
    ProgramOutcome o = run({"-r", "300", "--export", path("gis"), "--export-vars", "hggax,tilt",
                     "--cell", "25", "--grid-type", "float32", "--crs", "EPSG:32633", kSurvey, result});
    ASSERT_EQ(o.status, 0) << o.err;
    EXPECT_EQ(o.err.find("coordinate system"), std::string::npos) << o.err;
    for (const char* format : {"netcdf", "gs7bg", "dsaa"}) {
        o = run({"--from-result", result, "--export", path(format), "--grid-format", format,
                 "--export-vars", "hggax", "--cell", "25", "--points-format", "csv", "--crs",
                 "EPSG:32633"});
        ASSERT_EQ(o.status, 0) << o.err;
    }
    const std::vector<std::string> grids = {path("gis/sphere_hggax.tif"), path("gis/sphere_tilt.tif"),
                                            path("netcdf/sphere_hggax.nc"), path("gs7bg/sphere_hggax.grd"),
                                            path("dsaa/sphere_hggax.grd")};
    // The survey's x run from 1001.77 to 4999.26 and y from 500.32 to 3490.61: with 25 m
    // nodes from (1001.77, 500.32) the top node row is y = 500.32 + 119 * 25.
    for (const std::string& grid : grids) {
        SCOPED_TRACE(grid);
        o = run({"-stats", grid}, "gdalinfo");
        ASSERT_EQ(o.status, 0) << o.err;
        EXPECT_NE(o.out.find("Size is 160, 120"), std::string::npos) << o.out;
        EXPECT_NE(o.out.find("Origin = (989.2"), std::string::npos) << o.out;
        EXPECT_NE(o.out.find(",3487.82"), std::string::npos) << o.out;
        EXPECT_NE(o.out.find("Pixel Size = (25.0"), std::string::npos) << o.out;
        EXPECT_NE(o.out.find("ID[\"EPSG\",32633]"), std::string::npos) << o.out;
        EXPECT_NE(o.out.find("NoData Value=1.70141"), std::string::npos) << o.out;
        EXPECT_NE(o.out.find("STATISTICS_MEAN="), std::string::npos) << o.out;
    }
    for (const std::string& layer : {path("gis/sphere.gpkg"), path("dsaa/sphere.csv")}) {
        SCOPED_TRACE(layer);
        o = run({"-so", "-al", layer}, "ogrinfo");
        ASSERT_EQ(o.status, 0) << o.err;
        EXPECT_NE(o.out.find("Feature Count: 1500"), std::string::npos) << o.out;
        EXPECT_NE(o.out.find("tilt_angle"), std::string::npos) << o.out;
    }
}

// Bad options are refused with status 2 before anything runs: no result file, no
// export folder or an empty one.
TEST_F(batch_export, bad_options_end_with_status_2_and_write_nothing) {
    fs::create_directories(temp_.folder() / "clash");
    fs::copy_file(kSurvey, temp_.folder() / "clash" / "in.csv");
    std::ofstream(path("plain_file")) << "x";
    struct Case {
        std::vector<std::string> args;
        std::string message;
    };
    const std::string out = path("out");
    const std::vector<Case> cases = {
        {{"--export", out, "--crs", "EPSG:0"}, "Unknown coordinate system 'EPSG:0'"},
        {{"--export", out, "--cell", "0"}, "The cell size must be a number greater than 0, not 0"},
        {{"--export", out, "--cell", "-3"}, "The cell size must be a number greater than 0, not -3"},
        {{"--export", out, "--cell", "0.0001"}, "more than the memory allows"},
        {{"--export", out, "-t", "linear3", "--export-vars", "rga"}, "No grid variable 'rga'"},
        {{"--cell", "25"}, "option '--cell' needs --export DIR"},
        {{"--export", out, "--grid-format", "png"}, "expected gtiff, netcdf, gs7bg or dsaa"},
        {{"--export", path("plain_file") + "/sub"}, "Cannot make the export folder"},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args = {"-r", "300"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        args.push_back(kSurvey);
        args.push_back(path("result.dat"));
        SCOPED_TRACE(c.message);
        const ProgramOutcome o = run(args);
        EXPECT_EQ(o.status, 2) << o.err;
        EXPECT_NE(o.err.find(c.message), std::string::npos) << o.err;
        EXPECT_FALSE(fs::exists(path("result.dat")));
        EXPECT_TRUE(!fs::exists(out) || fs::is_empty(out));
    }
    // The station layer would replace the survey it reads.
    const ProgramOutcome clash = run({"-r", "300", "--export", path("clash"), "--points-format", "csv",
                               path("clash/in.csv"), path("clash/in.dat")});
    EXPECT_EQ(clash.status, 2);
    EXPECT_NE(clash.err.find("The export would overwrite '"), std::string::npos) << clash.err;
    EXPECT_EQ(file_text(path("clash/in.csv")), file_text(kSurvey));
}

TEST_F(batch_export, unreadable_result_files_fail_with_status_1) {
    ProgramOutcome o = run({"--from-result", path("missing.dat"), "--export", path("out")});
    EXPECT_EQ(o.status, 1);
    EXPECT_NE(o.err.find("Cannot open input data file"), std::string::npos) << o.err;
    o = run({"--from-result", kSurvey, "--export", path("out")});
    EXPECT_EQ(o.status, 1);
    EXPECT_NE(o.err.find("is not a result file"), std::string::npos) << o.err;
    EXPECT_TRUE(!fs::exists(path("out")) || fs::is_empty(path("out")));
}

// Without --crs the runner says once that the files carry none, and they carry none.
TEST_F(batch_export, a_missing_crs_is_said_once) {
    const ProgramOutcome o = run({"-r", "300", "--export", path("out"), "--export-vars", "hggax,hggay",
                           kSurvey, path("result.dat")});
    ASSERT_EQ(o.status, 0) << o.err;
    EXPECT_EQ(count_of(o.err, "carry no coordinate system"), 1u) << o.err;
    const ProgramOutcome info = run({path("out/result_hggax.tif")}, "gdalinfo");
    EXPECT_EQ(info.out.find("Coordinate System is:"), std::string::npos) << info.out;
    EXPECT_TRUE(fs::exists(path("out/result.gpkg")));
}

TEST_F(batch_export, help_lists_the_export_options) {
    const ProgramOutcome o = run({"--help"});
    ASSERT_EQ(o.status, 0);
    for (const char* option : {"--export DIR", "--export-vars", "--cell M", "--grid-format",
                               "gtiff", "netcdf", "gs7bg", "dsaa", "--grid-type", "--points-format",
                               "gpkg", "csv", "--crs", "--from-result FILE"})
        EXPECT_NE(o.out.find(option), std::string::npos) << option;
}
