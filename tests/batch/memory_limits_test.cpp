// orvane-batch under an address-space limit of 1 GiB (as `prlimit --as` or `ulimit -v`
// sets one): a run that asks for more memory than that ends with its message and exit
// status 1 (2 when it is refused before it starts), never with an abort. The cases are
// the quick ones; bench/memory_limits.sh runs the long ones.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tests/support/program_run.h"
#include "tests/support/temp_folder.h"

namespace fs = std::filesystem;

namespace {

constexpr rlim_t ONE_GIB = rlim_t{1} << 30;

class memory_limits : public ::testing::Test {
protected:
    std::string path(const std::string& name) const { return temp_.path(name); }

    // A few stations at the corners and the middle of a square `side` metres wide.
    std::string corners(double side, const std::string& name = "corners.dat") {
        const std::string file = path(name);
        std::ofstream out(file);
        out << "0 0 1 100 -10.5\n"
            << side << " 0 2 101 -10.7\n"
            << "0 " << side << " 3 102 -10.2\n"
            << side << ' ' << side << " 4 103 -10.9\n"
            << side / 2 << ' ' << side / 2 << " 5 104 -10.4\n";
        return file;
    }

    // Runs the program under the limit, stderr caught, in the "C" number format.
    ProgramOutcome run(const std::vector<std::string>& args) {
        ProgramSetup setup;
        setup.catch_folder = temp_.folder();
        setup.address_space = ONE_GIB;
        return run_program(ORVANE_BATCH_EXE, args, setup);
    }

    TempFolder temp_{"orvane_limits"};
};

const std::string kCellMessage =
    "Insufficent memory for creting temporary cluster. Increase radius for search!\n";

}  // namespace

// 15801 x 15801 cells of 0.1 m over 1580 m: their table takes 62 MB, and the run goes
// through under the limit in either search mode. 20 km at 0.01 m is over the cap on the
// cell count and refused before anything is allocated.
TEST_F(memory_limits, tiny_radius_over_a_large_area) {
    const std::string near = corners(1580, "near.dat");
    for (const bool nearest : {false, true}) {
        std::vector<std::string> args = {"-q", "-r", "1", near, path("a.dat")};
        if (nearest) args.insert(args.begin() + 3, {"--nearest", "3"});
        const ProgramOutcome o = run(args);
        ASSERT_TRUE(o.exited) << "ended by signal " << -o.status;
        EXPECT_EQ(o.status, 0) << o.err;
        const std::string result = file_text(path("a.dat"));
        EXPECT_EQ(std::count(result.begin(), result.end(), '\n'), 7) << result;
        fs::remove(path("a.dat"));
    }

    const ProgramOutcome o = run({"-q", "-r", "0.01", corners(20000, "far.dat"), path("a.dat")});
    ASSERT_TRUE(o.exited) << "ended by signal " << -o.status;
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(o.err, kCellMessage);
    EXPECT_FALSE(fs::exists(path("a.dat"))) << "the index comes before the result file";
}

// 16001 x 16001 cells of 1.25 m: the index (64 MB) fits, a preview grid of as many
// floats (1 GB) does not. Grid files need the whole grids: each preview says so; the
// result file is complete, and the run fails since the previews asked for are missing.
// Pictures are drawn from a few hundred node columns and rows, and are written.
TEST_F(memory_limits, preview_grid_beyond_the_limit_fails_with_the_buffer_message) {
    const ProgramOutcome o = run({"-q", "-r", "12.5", "--on-failed", "skip", "--preview",
                                  path("maps"), "--preview-format", "grd", corners(20000),
                                  path("a.dat")});
    ASSERT_TRUE(o.exited) << "ended by signal " << -o.status;
    EXPECT_EQ(o.status, 1);
    const std::string buffer = "Not enough memory for temporary buffer\n";
    EXPECT_EQ(o.err.substr(0, 3 * buffer.size()), buffer + buffer + buffer);
    EXPECT_TRUE(fs::is_empty(path("maps")));
    const std::string result = file_text(path("a.dat"));
    EXPECT_EQ(result.rfind("Map:", 0), 0u);

    const ProgramOutcome pictures = run({"-q", "-r", "12.5", "--on-failed", "skip", "--preview",
                                         path("pictures"), corners(20000), path("b.dat")});
    ASSERT_TRUE(pictures.exited) << "ended by signal " << -pictures.status;
    EXPECT_EQ(pictures.status, 0) << pictures.err;
    EXPECT_EQ(std::distance(fs::directory_iterator(path("pictures")), fs::directory_iterator()), 3);
}

// The gridding window is bounded by the lattice, whatever the radius: no memory grows
// with it.
TEST_F(memory_limits, huge_grid_radius_grids_within_the_limit) {
    const ProgramOutcome o = run({"-q", "-r", "300", "--grid-radius", "1e300", "--preview", path("maps"),
                           std::string(ORVANE_EXAMPLES) + "/sphere_survey.dat", path("a.dat")});
    ASSERT_TRUE(o.exited) << "ended by signal " << -o.status;
    EXPECT_EQ(o.status, 0) << o.err;
    EXPECT_EQ(std::distance(fs::directory_iterator(path("maps")), fs::directory_iterator()), 3);
}

// The export's node count is checked before the run against half the address-space
// limit at 16 bytes a node: 2^30 / 2 / 16 nodes, whatever memory the machine has.
TEST_F(memory_limits, huge_export_grid_is_refused_before_the_run) {
    const ProgramOutcome o = run({"-q", "-r", "300", "--export", path("gis"), "--cell", "0.05",
                           std::string(ORVANE_EXAMPLES) + "/sphere_survey.dat", path("a.dat")});
    ASSERT_TRUE(o.exited) << "ended by signal " << -o.status;
    EXPECT_EQ(o.status, 2);
    EXPECT_NE(o.err.find("more than the memory allows (at most 33554432 nodes); choose a "
                         "larger cell size"),
              std::string::npos)
        << o.err;
    EXPECT_FALSE(fs::exists(path("a.dat")));
}
