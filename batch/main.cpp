// orvane-batch: the calculation of the window's "&Calc" from the command line.

#include <unistd.h>

#include <clocale>
#include <cstdio>
#include <new>
#include <string>
#include <vector>

#include "batch/batch_export.h"
#include "batch/batch_options.h"
#include "batch/batch_run.h"
#include "batch/console_monitor.h"

namespace {

int run_batch(int argc, char** argv) {
    // The files are read and written in the user's number format, as the window does.
    std::setlocale(LC_ALL, "");
    const char* point = std::localeconv()->decimal_point;
    const char decimal_separator = point && point[0] ? point[0] : '.';

    const OptionsParse parsed = parse_batch_options(std::vector<std::string>(argv + 1, argv + argc));
    if (!parsed.options) {
        std::fprintf(stderr, "orvane-batch: %s\nTry 'orvane-batch --help' for more information.\n",
                     parsed.error.c_str());
        return EXIT_USAGE;
    }
    const BatchOptions& options = *parsed.options;
    if (options.help) {
        std::fputs(batch_usage().c_str(), stdout);
        return EXIT_RUN_OK;
    }
    if (options.version) {
        std::printf("orvane-batch %s\n", ORVANE_VERSION);
        return EXIT_RUN_OK;
    }

    if (options.from_result) {
        install_interrupt_handler();
        ConsoleMonitor monitor(stderr, options.on_failed, false);
        return export_result_file(options, decimal_separator, monitor);
    }
    const PlanResult plan = plan_batch_run(options, decimal_separator);
    if (!plan.plan) {
        std::fprintf(stderr, "%s\n", plan.error.c_str());
        return EXIT_USAGE;
    }
    install_interrupt_handler();
    ConsoleMonitor monitor(stderr, plan.plan->on_failed, !options.quiet && ::isatty(2) == 1);
    return execute_batch_run(*plan.plan, monitor);
}

}  // namespace

int main(int argc, char** argv) {
    // The run and the export report the memory they run out of themselves; this catches
    // what is left (a station layer, a preview file being encoded), so that a lack of
    // memory is a message and a failed run, never an abort.
    try {
        return run_batch(argc, argv);
    } catch (const std::bad_alloc&) {
        std::fputs("Not enough memory to go on\n", stderr);
    }
    return EXIT_RUN_FAILED;
}
