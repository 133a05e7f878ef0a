// orvane-bench: whole runs over seeded synthetic surveys, each case in a child process
// of its own so that its peak memory is its own.
//
//   orvane-bench [--threads N] [--dir FOLDER] [--list] [--no-peer] [CASE...]
//
// After each case that has a numpy/scipy peer (bench/numpy_peer.py, run by Debian's
// /usr/bin/python3), the peer does the same job on the same survey and the ratio of the
// two wall times is printed.

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
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
    bool peer = true;
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
        } else if (arg == "--no-peer") {
            o.peer = false;
        } else if (!arg.empty() && arg[0] != '-') {
            o.names.push_back(arg);
        } else {
            std::fprintf(stderr, "usage: orvane-bench [--threads N] [--dir FOLDER] [--list] [--no-peer] [CASE...]\n");
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

using Clock = std::chrono::steady_clock;

double seconds_since(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// Wall seconds of a child process from fork to exit, as the parent sees them; -1 when it
// failed.
template <class Child>
double time_child(Child&& child_work) {
    std::fflush(stdout);
    const Clock::time_point start = Clock::now();
    const pid_t child = fork();
    if (child < 0) return -1.0;
    if (child == 0) _exit(child_work());
    int status = 0;
    waitpid(child, &status, 0);
    const double seconds = seconds_since(start);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? seconds : -1.0;
}

// The numpy/scipy peer of the case on the same survey and radius. OpenBLAS's tuning
// variables of this workplace slow a current numpy; they are left out for the peer only.
void measure_peer(const BenchCase& c, const std::string& survey, double radius,
                  const Options& o, double orvane_seconds) {
    const std::string output = o.folder + "/" + c.name + "_numpy_result.dat";
    const double seconds = time_child([&] {
        unsetenv("OPENBLAS_CORETYPE");
        unsetenv("OPENBLAS_L2_SIZE");
        const std::string radius_text = std::to_string(radius);
        const char* argv[] = {"/usr/bin/python3", ORVANE_NUMPY_PEER, survey.c_str(),
                              radius_text.c_str(), output.c_str(), nullptr};
        std::freopen("/dev/null", "w", stdout);
        execv(argv[0], const_cast<char* const*>(argv));
        return 127;
    });
    if (seconds < 0.0) {
        std::printf("%-27s numpy/scipy peer failed (python3-numpy, python3-scipy?)\n", "");
        return;
    }
    std::printf("%-27s numpy/scipy peer %.2f s wall, orvane %.2f s: %.1f times faster\n", "",
                seconds, orvane_seconds, seconds / orvane_seconds);
}

// Runs the case in a child process and prints its row; false when it failed.
bool measure(const BenchCase& c, const Options& o) {
    SurveyShape shape;
    const std::string survey = survey_for(c, o, shape);
    if (survey.empty()) return false;
    const double radius = radius_for_neighbours(shape, NEIGHBOURS) * c.radius_scale;
    const double seconds = time_child([&] {
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
        return f.ok ? 0 : 1;
    });
    if (seconds < 0.0) return false;
    if (o.peer && c.numpy_peer) measure_peer(c, survey, radius, o, seconds);
    return true;
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
