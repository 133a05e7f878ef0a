// The result files must not depend on the CPU that computes them. Two things could make
// them: the vector kernels (one form per instruction set, chosen at start-up) and glibc,
// which picks FMA forms of atan, acos and log at run time on CPUs that have FMA. Each
// run below is repeated with every instruction set this CPU runs forced through
// ORVANE_SIMD, and with glibc's AVX2, FMA and AVX-512F variants switched off through
// GLIBC_TUNABLES, and must give the bytes of the plain run.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "engine/simd/instruction_set.h"
#include "tests/support/program_run.h"
#include "tests/support/temp_folder.h"

namespace fs = std::filesystem;

namespace {

using Environment = std::vector<std::pair<std::string, std::string>>;

class cpu_independence : public ::testing::Test {
protected:
    void SetUp() override {
        // One copy of the survey per folder name, so the header line (which names the
        // input) is the same in every run.
        fs::copy_file(std::string(ORVANE_TEST_DATA) + "/reference/c01_sphere_l4_svd/survey.dat",
                      path("survey.dat"));
    }

    std::string path(const std::string& name) const { return temp_.path(name); }

    // The result file of orvane-batch run with `args` (input and output appended) under
    // the extra environment; empty when the run failed.
    std::string result_of(std::vector<std::string> args, const Environment& environment) {
        const std::string output = path("result.dat");
        fs::remove(output);
        args.push_back(path("survey.dat"));
        args.push_back(output);
        ProgramSetup setup;
        setup.catch_folder = temp_.folder();
        setup.environment = {{"ORVANE_SIMD", ""}, {"GLIBC_TUNABLES", ""}};
        setup.environment.insert(setup.environment.end(), environment.begin(), environment.end());
        const ProgramOutcome o = run_program(ORVANE_BATCH_EXE, args, setup);
        if (o.status != 0) return {};
        return file_text(output);
    }

    // Every environment the bytes must not depend on.
    static std::vector<Environment> environments() {
        std::vector<Environment> list;
        list.push_back({{"GLIBC_TUNABLES", "glibc.cpu.hwcaps=-AVX2,-FMA,-AVX512F"}});
        for (InstructionSet set : runnable_instruction_sets())
            list.push_back({{"ORVANE_SIMD", std::string(instruction_set_name(set))}});
        list.push_back({{"ORVANE_SIMD", "scalar"},
                        {"GLIBC_TUNABLES", "glibc.cpu.hwcaps=-AVX2,-FMA,-AVX512F"}});
        return list;
    }

    void expect_same_bytes_everywhere(const std::vector<std::string>& args) {
        const std::string plain = result_of(args, {});
        ASSERT_GT(plain.size(), 1000u);
        for (const Environment& environment : environments()) {
            for (const char* threads : {"1", "4"}) {
                std::vector<std::string> with_threads = args;
                with_threads.insert(with_threads.end(), {"--threads", threads});
                std::string described = std::string("threads ") + threads;
                for (const auto& [name, value] : environment) described += " " + name + "=" + value;
                EXPECT_TRUE(result_of(with_threads, environment) == plain) << described;
            }
        }
    }

    TempFolder temp_{"orvane_cpu"};
};

}  // namespace

TEST_F(cpu_independence, moore_penrose_rows_with_iterations) {
    expect_same_bytes_everywhere({"-r", "360", "-t", "linear4", "-s", "moore-penrose",
                                  "--iterations", "2", "--object", "LGA"});
}

TEST_F(cpu_independence, l_curve_rows) {
    expect_same_bytes_everywhere({"-r", "360", "-t", "quadratic", "-s", "tikhonov",
                                  "--center-z", "mean"});
}

TEST_F(cpu_independence, linear6_and_nearest_rows) {
    expect_same_bytes_everywhere({"-r", "300", "--nearest", "14", "-t", "linear6", "-s",
                                  "moore-penrose", "--center-x", "mean"});
}
