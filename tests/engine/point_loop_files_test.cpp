// What a run leaves in the result file's folder at any moment: the previous result whole
// until the run closes its file, a partial file that says it is unfinished, and after
// the end (also after a Stop) the rows under the result's own name and nothing else.

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "engine/points/result_format.h"
#include "engine/points/result_loader.h"
#include "engine/run/run_calculation.h"
#include "engine/run/run_checks.h"
#include "engine/run/run_state.h"
#include "tests/support/fake_monitor.h"

namespace fs = std::filesystem;

namespace {

const char* const OLD_RESULT = "the previous complete result\n";

class point_loop_files : public testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "orvane_loop_files_XXXXXX").string();
        folder_ = ::mkdtemp(pattern.data());
        // 60 x 60 stations 10 m apart: enough rows (about 580 KB) for the partial file
        // to take some of them while the run goes on.
        std::ofstream out(path("survey.dat"));
        for (int i = 0; i < 60; ++i)
            for (int k = 0; k < 60; ++k)
                out << 10 * i << ' ' << 10 * k << ' ' << 60 * i + k + 1 << ' '
                    << (i * 7 + k * 3) % 11 << ' ' << 0.01 * i * i - 0.02 * k << '\n';
        std::ofstream(path("result.dat")) << OLD_RESULT;
    }
    void TearDown() override { fs::remove_all(folder_); }

    std::string path(const std::string& name) const { return (folder_ / name).string(); }

    RunSettings settings() const {
        RunSettings s;
        s.input_file = path("survey.dat");
        s.output_file = path("result.dat");
        s.trace_file = derive_trace_file(s.input_file);
        s.tendency = Tendency::Linear4x4;
        s.solver = SolverKind::GaussJordan;
        s.search_radius = 25.0;
        s.cell_size = 2.5;
        s.grid_radius = 25.0;
        s.threads = 1;
        return s;
    }

    std::vector<std::string> names() const {
        std::vector<std::string> found;
        for (const auto& entry : fs::directory_iterator(folder_))
            found.push_back(entry.path().filename().string());
        std::sort(found.begin(), found.end());
        return found;
    }

    std::string partial_file() const {
        for (const std::string& name : names())
            if (name.size() > 8 && name.substr(name.size() - 8) == ".partial") return path(name);
        return {};
    }

    static std::string read_text(const std::string& file) {
        std::ifstream in(file, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

    fs::path folder_;
};

std::string first_line(const std::string& text) { return text.substr(0, text.find('\n') + 1); }

}  // namespace

TEST_F(point_loop_files, the_old_result_stays_whole_until_the_run_closes_its_file) {
    const RunSettings s = settings();
    const std::string header = first_line(result_header(s));
    FakeMonitor monitor;
    int checks = 0;
    std::string seen_partial;
    monitor.on_events = [&] {
        // Late in the run, where a kill would cut it.
        if (monitor.events != 3000) return;
        ++checks;
        EXPECT_EQ(read_text(path("result.dat")), OLD_RESULT);
        seen_partial = partial_file();
        ASSERT_FALSE(seen_partial.empty());
        const std::string cut = read_text(seen_partial);
        ASSERT_GT(cut.size(), header.size());
        const std::string stand_in = first_line(cut);
        EXPECT_EQ(stand_in.size(), header.size());
        EXPECT_EQ(stand_in.rfind(UNFINISHED_RESULT_LINE, 0), 0u) << stand_in;

        // Neither the loader nor anything looking for "Map:" takes the cut file.
        FakeMonitor loader_monitor;
        RunState other;
        const ResultLoad load = load_result_file({seen_partial}, other, loader_monitor);
        EXPECT_EQ(load.outcome, LoadOutcome::PreviousKept);
        EXPECT_FALSE(load.header.has_value());
    };
    RunState state;
    ASSERT_EQ(run_calculation(s, state, monitor, nullptr), 0);
    EXPECT_EQ(checks, 1);

    const std::string result = read_text(path("result.dat"));
    EXPECT_EQ(result.substr(0, result_header(s).size()), result_header(s));
    EXPECT_EQ(state.rows_written, 3600u);
    EXPECT_EQ(std::count(result.begin(), result.end(), '\n'), 3602);
    EXPECT_FALSE(fs::exists(seen_partial));
    EXPECT_EQ(names(), (std::vector<std::string>{"result.dat", "survey.dat"}));
}

TEST_F(point_loop_files, a_stopped_run_keeps_its_rows_under_the_result_name) {
    RunSettings s = settings();
    FakeMonitor monitor;
    monitor.stop_at_event = 2502;  // after 2500 points
    monitor.answers = {true};
    RunState state;
    EXPECT_EQ(run_calculation(s, state, monitor, nullptr), 1);

    const std::string result = read_text(path("result.dat"));
    EXPECT_EQ(result.substr(0, result_header(s).size()), result_header(s));
    EXPECT_EQ(state.rows_written, 2500u);
    EXPECT_EQ(std::count(result.begin(), result.end(), '\n'), 2502);
    EXPECT_EQ(names(), (std::vector<std::string>{"result.dat", "survey.dat"}));

    // The same rows as the whole run's first 2500.
    FakeMonitor whole_monitor;
    RunState whole_state;
    s.output_file = path("whole.dat");
    ASSERT_EQ(run_calculation(s, whole_state, whole_monitor, nullptr), 0);
    const std::string whole = read_text(path("whole.dat"));
    EXPECT_EQ(whole.substr(0, result.size()), result);
}

TEST_F(point_loop_files, trace_file_is_staged_like_the_result) {
    RunSettings s = settings();
    std::ofstream(path("subset.dat")) << "100 100 1011 0 0\n";
    std::ofstream(s.trace_file) << "old trace\n";
    s.subset_file = path("subset.dat");
    s.solver = SolverKind::Tichonov;
    s.sv_threshold = -1.0;
    FakeMonitor monitor;
    int checks = 0;
    monitor.on_events = [&] {
        if (monitor.events != 3000) return;
        ++checks;
        EXPECT_EQ(read_text(s.trace_file), "old trace\n");
    };
    RunState state;
    ASSERT_EQ(run_calculation(s, state, monitor, nullptr), 0);
    EXPECT_EQ(checks, 1);
    EXPECT_NE(read_text(s.trace_file), "old trace\n");
    EXPECT_TRUE(partial_file().empty());
}
