// orvane-batch given bad input: settings files of every size and of random bytes, files
// it cannot read or write, an output that is the input by another spelling, a full disk.
// Each ends with one clear line on stderr and a failing exit status, never a crash, and
// the input keeps every byte.

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "batch/batch_run.h"
#include "settings/settings_block.h"
#include "settings/settings_values.h"
#include "tests/support/program_run.h"
#include "tests/support/temp_folder.h"

namespace fs = std::filesystem;

namespace {

const std::string kSurvey = std::string(ORVANE_TEST_DATA) + "/reference/c01_sphere_l4_svd/survey.dat";

class batch_bad_input : public testing::Test {
protected:
    void SetUp() override {
        survey_ = file_text(kSurvey);
        input_ = write("in.dat", survey_);
    }

    std::string path(const std::string& name) const { return temp_.path(name); }
    std::string write(const std::string& name, const std::string& bytes) const {
        std::ofstream(path(name), std::ios::binary) << bytes;
        return path(name);
    }

    // Runs the program in the test's folder with stderr caught, in the "C" number format.
    ProgramOutcome run(const std::vector<std::string>& args) {
        ProgramSetup setup;
        setup.catch_folder = temp_.folder();
        setup.working_folder = temp_.folder();
        return run_program(ORVANE_BATCH_EXE, args, setup);
    }

    // A settings block naming in.dat and out.dat by relative names, radius 360.
    std::string settings_bytes() const {
        SettingsValues v;
        v.txt_in = "in.dat";
        v.txt_out = "out.dat";
        v.txt_radius = 360.0;
        SettingsBlock block;
        EXPECT_TRUE(store_settings_values(v, block).ok);
        return std::string(block.bytes().begin(), block.bytes().end());
    }

    TempFolder temp_{"orvane_batch_bad"};
    std::string survey_;
    std::string input_;
};

}  // namespace

// Settings files of 0, 902, 903 and 5000 bytes: what they hold is read, the rest counts
// as zero. An empty file names no input, so Calc's first check refuses it; the others
// name a survey and run it to the same result file.
TEST_F(batch_bad_input, settings_files_of_every_size) {
    const std::string full = settings_bytes();
    ASSERT_EQ(full.size(), SettingsBlock::SIZE);
    const std::string tail(5000 - full.size(), '\x5A');
    const struct {
        const char* name;
        std::string bytes;
        int status;
        const char* message;
    } cases[] = {
        {"size_0.cfg", "", EXIT_USAGE, "Input file name is required field.\n"},
        {"size_902.cfg", full.substr(0, 902), EXIT_RUN_OK, ""},
        {"size_903.cfg", full, EXIT_RUN_OK, ""},
        {"size_5000.cfg", full + tail, EXIT_RUN_OK, ""},
        {"zeros_903.cfg", std::string(903, '\0'), EXIT_USAGE,
         "Input file name is required field.\n"},
    };
    std::string first_result;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove(path("out.dat"));
        const ProgramOutcome o = run({"--quiet", "--settings", write(c.name, c.bytes)});
        EXPECT_EQ(o.status, c.status);
        EXPECT_EQ(o.err, c.message);
        if (c.status != EXIT_RUN_OK) {
            EXPECT_FALSE(fs::exists(path("out.dat")));
            continue;
        }
        const std::string result = file_text(path("out.dat"));
        EXPECT_GT(result.size(), 1000u);
        if (first_result.empty()) first_result = result;
        EXPECT_EQ(result, first_result);
    }
    EXPECT_EQ(file_text(input_), survey_);
}

// Settings files of random bytes: never a crash; a refusal or a failed run, each with
// its message on stderr.
TEST_F(batch_bad_input, settings_files_of_random_bytes) {
    std::mt19937 random(903);
    for (int round = 0; round < 8; ++round) {
        SCOPED_TRACE(round);
        std::string bytes;
        const std::size_t size = round == 0 ? 903 : 1 + random() % 2000;
        for (std::size_t i = 0; i < size; ++i) bytes.push_back(static_cast<char>(random() & 0xFF));
        const ProgramOutcome o = run({"--quiet", "--settings", write("random.cfg", bytes)});
        EXPECT_TRUE(o.status == EXIT_USAGE || o.status == EXIT_RUN_FAILED) << o.status;
        EXPECT_FALSE(o.err.empty());
        EXPECT_EQ(o.err.back(), '\n');
    }
    EXPECT_EQ(file_text(input_), survey_);
}

// Settings files that are not there or cannot be read are named in the refusal.
TEST_F(batch_bad_input, settings_file_missing_or_a_folder) {
    for (const std::string& settings : {path("missing.cfg"), temp_.folder().string()}) {
        const ProgramOutcome o = run({"--settings", settings});
        EXPECT_EQ(o.status, EXIT_USAGE);
        EXPECT_EQ(o.err, "cannot read settings file '" + settings + "'\n");
    }
}

// Files the run cannot read or write end it with the calculation's own message and the
// failure status; the input is never touched.
TEST_F(batch_bad_input, unusable_files_fail_with_their_message) {
    fs::create_symlink(input_, path("link.dat"));
    write("empty.dat", "");
    const struct {
        std::vector<std::string> names;
        std::string message;
    } cases[] = {
        {{path("missing.dat"), path("out.dat")},
         "Cannot open input data file\n" + path("missing.dat") + ": No such file or directory\n"},
        {{path("empty.dat"), path("out.dat")}, "Input file contains no valid xyz data\n"},
        {{input_, path("no_folder/out.dat")}, "Error by opening output file\n"},
        {{input_, "/dev/full"}, "Error by writing output file\n"},
        {{input_, "./in.dat"}, "Input and output file name must not be the same.\n"},
        {{input_, path("link.dat")}, "Input and output file name must not be the same.\n"},
        {{"in.dat", input_}, "Input and output file name must not be the same.\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.names[1]);
        const ProgramOutcome o = run({"--quiet", "-r", "360", c.names[0], c.names[1]});
        EXPECT_EQ(o.status, EXIT_RUN_FAILED);
        EXPECT_EQ(o.err, c.message);
        EXPECT_EQ(file_text(input_), survey_);
    }
}

// Numbers on the command line that are no finite numbers are refused before any run.
TEST_F(batch_bad_input, numbers_that_are_none_are_refused) {
    for (const char* radius : {"1e999", "nan", "inf", "1.2.3", "+-5", ""}) {
        SCOPED_TRACE(radius);
        const ProgramOutcome o = run({"-r", radius, input_, path("out.dat")});
        EXPECT_EQ(o.status, EXIT_USAGE);
        EXPECT_NE(o.err.find("invalid value"), std::string::npos) << o.err;
        EXPECT_FALSE(fs::exists(path("out.dat")));
    }
}
