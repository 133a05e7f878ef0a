// Fuzzes the export's options: orvane-batch's arguments (the input split at NUL bytes)
// are parsed, and when they ask for an export its plan is made as the runner makes it:
// the variables under the trend model, the cell size and its node count, the file
// names. The folder is always one temporary folder of the harness, so that no input
// makes folders, and the coordinate system is left out: it has a target of its own,
// whose GDAL calls would slow every input here. The node count is also taken over an
// extent of --radius by --grid-radius metres, so that any lattice can be asked for.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#include "batch/batch_export.h"
#include "batch/batch_options.h"
#include "export/export_fields.h"
#include "export/export_plan.h"
#include "export/grid_size.h"
#include "fuzz/fuzz_checks.h"
#include "fuzz/fuzz_file.h"

namespace {

// A survey of four points 100 m apart, for the node count of an explicit --cell.
const std::string& survey_file() {
    static FuzzFile file;
    static const std::string text = "0 0 1 10 5\n100 0 2 11 6\n0 100 3 12 7\n100 100 4 13 8\n";
    static const std::string& path =
        file.hold(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
    return path;
}

// A name of any case, or the result header's spelling, stands for the same variable
// under every trend model.
void check_variable_names(const std::vector<std::string>& names) {
    for (int t = 0; t < 5; ++t) {
        const auto tendency = static_cast<Tendency>(t);
        for (const std::string& name : names) {
            const std::optional<GridVariable> v = grid_variable_named(tendency, name);
            if (!v) continue;
            const std::optional<GridVariable> again = grid_variable_named(tendency, v->name);
            require(again && again->name == v->name && again->position == v->position);
            std::string upper = name;
            for (char& c : upper)
                if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
            const std::optional<GridVariable> shouted = grid_variable_named(tendency, upper);
            require(shouted && shouted->position == v->position);
        }
    }
}

void check_lattice(const PointExtent& extent, double cell_size, std::size_t limit) {
    const GridSize size = export_lattice(extent, cell_size, limit);
    require(size.lattice.has_value() != !size.error.empty());
    if (!size.lattice) return;
    const GridLattice& l = *size.lattice;
    require(l.nx >= 1 && l.ny >= 1 && l.nx <= limit && l.ny <= limit / l.nx);
    require(l.nodes() <= limit && l.cell_size == cell_size);
    require(l.origin_x == extent.x_min && l.origin_y == extent.y_min);
}

void check_plan(const ExportPlan& plan) {
    const std::vector<GridVariable> known = grid_variables(plan.tendency);
    std::set<std::string> chosen;
    for (const GridVariable& v : plan.variables) {
        require(std::any_of(known.begin(), known.end(), [&](const GridVariable& k) {
            return k.name == v.name && k.position == v.position;
        }));
        require(chosen.insert(v.name).second);
    }
    require(!plan.variables.empty() || plan.options.station_format.has_value());
    require(plan.crs_wkt.empty() && !plan.stem.empty());

    // Every file lands in the export folder, and no two share a name.
    const std::vector<std::string> names = planned_file_names(plan);
    require(names.size() == plan.variables.size() + (plan.options.station_format ? 1 : 0));
    require(std::set<std::string>(names.begin(), names.end()).size() == names.size());
    for (const std::string& name : names) {
        require(name.find('/') == std::string::npos && name.rfind(plan.stem, 0) == 0);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const OptionsParse parsed = parse_batch_options(nul_separated_arguments(data, size));
    if (!parsed.options) {
        require(!parsed.error.empty());
        return 0;
    }
    BatchOptions options = *parsed.options;
    if (options.help || options.version || !options.export_dir) return 0;
    if (options.export_vars) check_variable_names(*options.export_vars);

    const std::size_t limit = export_node_limit();
    if (options.export_options.cell_size) {
        PointExtent extent;
        extent.x_max = std::fabs(options.search_radius.value_or(1000.0));
        extent.y_max = std::fabs(options.grid_radius.value_or(1000.0));
        check_lattice(extent, *options.export_options.cell_size, limit);
    }

    options.export_dir = fuzz_folder();
    options.export_options.crs.clear();
    RunSettings settings;
    settings.tendency = options.tendency.value_or(Tendency::Linear4x4);
    settings.input_file = survey_file();
    settings.output_file = options.output_file.value_or(options.from_result.value_or("result.dat"));
    settings.subset_file = options.subset_file.value_or("");
    const BatchExportPlan planned = plan_run_export(options, settings);
    require(planned.plan.has_value() != !planned.error.empty());
    if (!planned.plan) return 0;
    const ExportPlan& plan = *planned.plan;
    require(plan.tendency == settings.tendency && plan.options.folder == fuzz_folder());
    check_plan(plan);
    if (plan.options.cell_size) {
        require(check_cell_size(*plan.options.cell_size).empty());
        PointExtent survey;
        survey.x_max = survey.y_max = 100.0;
        if (!plan.variables.empty()) check_lattice(survey, *plan.options.cell_size, limit);
    }
    return 0;
}
