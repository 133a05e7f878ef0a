// orvane-bench: whole runs over seeded synthetic surveys, each case in a child process
// of its own so that its peak memory is its own.
//
//   orvane-bench [--threads N] [--dir FOLDER] [--list] [CASE...]

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "bench/bench_case.h"
#include "bench/synthetic_survey.h"

namespace fs = std::filesystem;

namespace {

// Mean number of stations within the search radius of the cases at radius_scale 1.
constexpr double NEIGHBOURS = 30.0;

struct Options {
    unsigned threads = 0;
    std::string folder = (fs::temp_directory_path() / "orvane-bench").string();
    bool list = false;
    std::vector<std::string> names;
};

bool parse_options(int argc, char** argv, Options& o) {
    for (int a = 1; a < argc; ++a) {
        const std::string arg = argv[a];
        if (arg == "--threads" && a + 1 < argc) {
            o.threads = static_cast<unsigned>(std::strtoul(argv[++a], nullptr, 10));
        } else if (arg == "--dir" && a + 1 < argc) {
            o.folder = argv[++a];
        } else if (arg == "--list") {
            o.list = true;
        } else if (!arg.empty() && arg[0] != '-') {
            o.names.push_back(arg);
        } else {
            std::fprintf(stderr, "usage: orvane-bench [--threads N] [--dir FOLDER] [--list] [CASE...]\n");
            return false;
        }
    }
    return true;
}

// The survey file of a case's size, written once and reused by later runs.
std::string survey_for(const BenchCase& c, const Options& o, SurveyShape& shape) {
    shape.stations = c.stations;
    const std::string path = o.folder + "/survey_" + std::to_string(c.stations) + ".dat";
    if (!fs::exists(path)) {
        std::fprintf(stderr, "writing %s ...\n", path.c_str());
        if (!write_synthetic_survey(shape, path)) return {};
    }
    return path;
}

// Runs the case in a child process and prints its row; false when it failed.
bool measure(const BenchCase& c, const Options& o) {
    SurveyShape shape;
    const std::string survey = survey_for(c, o, shape);
    if (survey.empty()) return false;
    const double radius = radius_for_neighbours(shape, NEIGHBOURS) * c.radius_scale;
    std::fflush(stdout);
    const pid_t child = fork();
    if (child < 0) return false;
    if (child == 0) {
        const BenchFigures f = run_bench_case(c, survey, radius, o.threads, o.folder);
        rusage usage{};
        getrusage(RUSAGE_SELF, &usage);
        const double cpu = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                           1e-6 * static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec);
        const double peak = 1024.0 * static_cast<double>(usage.ru_maxrss);
        const double points = static_cast<double>(c.stations);
        std::printf("%-27s %8zu %7.1f %7.2f %7.2f %7.2f %10.0f %7.2f %8.1f %8.0f%s\n",
                    c.name.c_str(), c.stations, radius, f.prepare_seconds, f.work_seconds,
                    f.wall_seconds, points / f.wall_seconds, cpu, peak / 1048576.0,
                    peak / points, f.ok ? "" : "  FAILED");
        std::fflush(stdout);
        _exit(f.ok ? 0 : 1);
    }
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace

int main(int argc, char** argv) {
    Options o;
    if (!parse_options(argc, argv, o)) return 2;
    if (o.list) {
        for (const BenchCase& c : bench_cases()) std::printf("%s\n", c.name.c_str());
        return 0;
    }
    fs::create_directories(o.folder);
    const unsigned cores = std::thread::hardware_concurrency();
    std::printf("threads %u (0: all %u cores), files in %s\n", o.threads, cores, o.folder.c_str());
    std::printf("%-27s %8s %7s %7s %7s %7s %10s %7s %8s %8s\n", "case", "points", "radius",
                "read+ix", "loop", "wall s", "points/s", "cpu s", "peak MB", "B/point");
    bool all_ok = true;
    for (const BenchCase& c : bench_cases()) {
        bool wanted = o.names.empty();
        for (const std::string& n : o.names) wanted = wanted || n == c.name;
        if (wanted) all_ok = measure(c, o) && all_ok;
    }
    return all_ok ? 0 : 1;
}
