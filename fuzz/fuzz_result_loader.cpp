// Fuzzes the result-file loader: the header parser on the first line, then
// load_result_file over the input as a file, under both decimal separators, with and
// without a radius typed for files that hold none. Each load starts from a state that
// holds one earlier point, so that "previous data kept" can be checked.

#include <cstdint>
#include <cstdlib>
#include <string>

#include "engine/points/result_loader.h"
#include "engine/run/run_state.h"
#include "fuzz/fuzz_checks.h"
#include "fuzz/fuzz_file.h"
#include "fuzz/quiet_monitor.h"

namespace {

RunState earlier_state() {
    RunState state;
    state.points.survey.resize(2);
    state.points.work.resize(2);
    state.points.count = 1;
    state.results_ready = true;
    return state;
}

void load(const std::string& path, char separator, double typed_radius) {
    RunState state = earlier_state();
    QuietMonitor monitor;
    const ResultLoad result =
        load_result_file(ResultLoadOptions{path, separator, typed_radius}, state, monitor);
    switch (result.outcome) {
        case LoadOutcome::Loaded:
            require(state.results_ready && state.points.count >= 1);
            require(state.points.work.size() == state.points.count + 1);
            require(state.points.survey.size() == state.points.count + 1);
            require(!state.index.empty() && result.search_radius > 1e-6);
            require(monitor.messages == 0);
            break;
        case LoadOutcome::PreviousKept:
            require(state.results_ready && state.points.count == 1);
            break;
        case LoadOutcome::NoData:
            require(!state.results_ready && state.points.count == 0 && state.points.work.empty());
            require(state.index.empty());
            break;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static FuzzFile file;
    const std::string text(reinterpret_cast<const char*>(data), size);
    const std::string first_line = text.substr(0, text.find('\n'));
    if (const std::optional<ResultHeader> header = parse_result_header(first_line)) {
        require(header->nearest ? header->radius_text.empty() : header->nearest_count_text.empty());
    }

    const std::string& path = file.hold(data, size);
    load(path, '.', 0.0);
    load(path, ',', 50.0);
    return 0;
}
