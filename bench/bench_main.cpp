// orvane-bench: whole runs over seeded synthetic surveys, each case in a child process
// of its own so that its peak memory is its own.
//
//   orvane-bench [--threads N] [--dir FOLDER] [--list] [--no-peer] [--repeat N]
//                [--pause S] [CASE...]
//
// --repeat N runs the chosen cases N times in turn (a, b, a, b, ...), so that a slow
// phase of the machine falls on every case alike, and ends with each case's median and
// range; a case with further passes is set against the case with none that shares its
// survey and run, as the ratio of the medians.
//
// --pause S waits S seconds before each run. A virtual machine whose kernel reports free
// memory to its host (free page reporting, after about two seconds) has the host back
// every page a run then touches afresh: on the 2-core VM that cost 1.3-1.5 ms a megabyte
// of wall time, a quarter of a second for the 1M case. Back-to-back runs reuse what the
// one before freed; with a pause of 4 each run pays it, as a run started after a while
// does.
//
// After each case that has a numpy/scipy peer (bench/numpy_peer.py, run by Debian's
// /usr/bin/python3), the peer does the same job on the same survey and the ratio of the
// two wall times is printed.

#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
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
    unsigned repeat = 1;
    unsigned pause_seconds = 0;
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
        } else if (arg == "--repeat" && a + 1 < argc) {
            o.repeat = static_cast<unsigned>(std::strtoul(argv[++a], nullptr, 10));
            if (o.repeat == 0) o.repeat = 1;
        } else if (arg == "--pause" && a + 1 < argc) {
            o.pause_seconds = static_cast<unsigned>(std::strtoul(argv[++a], nullptr, 10));
        } else if (!arg.empty() && arg[0] != '-') {
            o.names.push_back(arg);
        } else {
            std::fprintf(stderr, "usage: orvane-bench [--threads N] [--dir FOLDER] [--list] [--no-peer] "
                                 "[--repeat N] [--pause S] [CASE...]\n");
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

// Runs the case in a child process and prints its row; its wall seconds as the case
// measured them, or -1 when it failed.
double measure(const BenchCase& c, const Options& o) {
    SurveyShape shape;
    const std::string survey = survey_for(c, o, shape);
    if (survey.empty()) return -1.0;
    const double radius = radius_for_neighbours(shape, NEIGHBOURS) * c.radius_scale;
    // The wall seconds the case measures itself (the `wall s` column), passed back from
    // the child through a shared page.
    void* page = mmap(nullptr, sizeof(double), PROT_READ | PROT_WRITE,
                      MAP_SHARED | MAP_ANONYMOUS, -1, 0);
    if (page == MAP_FAILED) return -1.0;
    auto* case_wall = static_cast<double*>(page);
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
        *case_wall = f.wall_seconds;
        return f.ok ? 0 : 1;
    });
    const double wall = *case_wall;
    munmap(case_wall, sizeof(double));
    if (seconds < 0.0) return -1.0;
    if (o.peer && c.numpy_peer) measure_peer(c, survey, radius, o, seconds);
    return wall;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 == 1 ? values[n / 2] : 0.5 * (values[n / 2 - 1] + values[n / 2]);
}

// The case with no further passes that runs the same job on the same survey as c.
const BenchCase* single_pass_of(const BenchCase& c, const std::vector<const BenchCase*>& run) {
    for (const BenchCase* other : run)
        if (other->iterations == 0 && other->work == c.work && other->stations == c.stations &&
            other->radius_scale == c.radius_scale && other->tendency == c.tendency &&
            other->solver == c.solver && other->search_mode == c.search_mode &&
            other->nearest_count == c.nearest_count)
            return other;
    return nullptr;
}

void print_summary(const std::vector<const BenchCase*>& run,
                   const std::vector<std::vector<double>>& walls) {
    std::printf("\n%-27s %5s %7s %7s %7s\n", "case", "runs", "median", "lowest", "highest");
    for (std::size_t k = 0; k < run.size(); ++k) {
        if (walls[k].empty()) continue;
        const auto [low, high] = std::minmax_element(walls[k].begin(), walls[k].end());
        std::printf("%-27s %5zu %7.2f %7.2f %7.2f", run[k]->name.c_str(), walls[k].size(),
                    median(walls[k]), *low, *high);
        const BenchCase* single = run[k]->iterations > 0 ? single_pass_of(*run[k], run) : nullptr;
        if (single) {
            const auto s = static_cast<std::size_t>(
                std::find(run.begin(), run.end(), single) - run.begin());
            if (!walls[s].empty())
                std::printf("   %.2f times %s", median(walls[k]) / median(walls[s]),
                            single->name.c_str());
        }
        std::printf("\n");
    }
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
    std::vector<const BenchCase*> run;
    for (const BenchCase& c : bench_cases()) {
        bool wanted = o.names.empty();
        for (const std::string& n : o.names) wanted = wanted || n == c.name;
        if (wanted) run.push_back(&c);
    }
    bool all_ok = true;
    std::vector<std::vector<double>> walls(run.size());
    for (unsigned r = 0; r < o.repeat; ++r) {
        for (std::size_t k = 0; k < run.size(); ++k) {
            std::this_thread::sleep_for(std::chrono::seconds(o.pause_seconds));
            const double seconds = measure(*run[k], o);
            if (seconds < 0.0) all_ok = false;
            else walls[k].push_back(seconds);
        }
    }
    if (o.repeat > 1) print_summary(run, walls);
    return all_ok ? 0 : 1;
}
