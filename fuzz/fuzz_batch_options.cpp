// Fuzzes orvane-batch's command line: the input, split at NUL bytes, is the argument
// list. A parse either fails with a reason or gives options whose values are
// all ones the run accepts.

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "batch/batch_options.h"
#include "fuzz/fuzz_checks.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const OptionsParse parsed = parse_batch_options(nul_separated_arguments(data, size));
    if (!parsed.options) {
        require(!parsed.error.empty());
        return 0;
    }
    const BatchOptions& o = *parsed.options;
    if (o.help || o.version) return 0;
    require(o.input_file.has_value() == o.output_file.has_value());
    require(o.input_file.has_value() || o.settings_file.has_value() || o.from_result.has_value());
    // Export options and --from-result come only with --export, --from-result without names.
    if (!o.export_option.empty()) require(o.export_dir.has_value());
    if (o.from_result) require(!o.input_file && !o.from_result->empty());
    if (o.columns) {
        require(o.columns->size() == 5);
        for (int c : *o.columns) require(c >= 0 && c <= 25);
    }
    if (o.iterations) require(*o.iterations >= 0 && *o.iterations <= 10000);
    if (o.iteration_object) require(*o.iteration_object == 0 || *o.iteration_object == 1);
    if (o.tendency) require(static_cast<int>(*o.tendency) >= 0 && static_cast<int>(*o.tendency) <= 4);
    if (o.solver) require(static_cast<int>(*o.solver) >= 0 && static_cast<int>(*o.solver) <= 2);
    if (o.preview_vars) require(o.preview_vars->size() == 3);
    return 0;
}
