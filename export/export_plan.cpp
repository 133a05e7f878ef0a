#include "export/export_plan.h"

#include <unistd.h>

#include <filesystem>
#include <system_error>

#include "export/crs_text.h"
#include "export/grid_size.h"

namespace fs = std::filesystem;

namespace {

std::string known_variables(Tendency tendency) {
    std::string known;
    for (const GridVariable& v : grid_variables(tendency))
        known += (known.empty() ? "" : ", ") + v.name;
    return known;
}

std::string choose_variables(const ExportOptions& options, Tendency tendency,
                             std::vector<GridVariable>& chosen) {
    for (const std::string& name : options.variables) {
        const std::optional<GridVariable> v = grid_variable_named(tendency, name);
        if (!v)
            return "No grid variable '" + name + "' for this trend model (variables: " +
                   known_variables(tendency) + ")";
        for (const GridVariable& earlier : chosen)
            if (earlier.name == v->name)
                return "The grid variable '" + v->name + "' is asked for twice";
        chosen.push_back(*v);
    }
    return {};
}

std::string prepare_folder(const std::string& folder) {
    if (folder.empty()) return "No export folder given";
    std::error_code failed;
    fs::create_directories(folder, failed);
    if (!fs::is_directory(folder))
        return "Cannot make the export folder '" + folder + "'" +
               (failed ? ": " + failed.message() : std::string());
    if (::access(folder.c_str(), W_OK | X_OK) != 0)
        return "Cannot write into the export folder '" + folder + "'";
    return {};
}

// The same file, whether both exist (same inode) or only by their resolved paths.
bool same_file(const fs::path& a, const fs::path& b) {
    std::error_code failed;
    if (fs::equivalent(a, b, failed)) return true;
    const fs::path ca = fs::weakly_canonical(a, failed);
    if (failed) return false;
    const fs::path cb = fs::weakly_canonical(b, failed);
    return !failed && ca == cb;
}

std::string stem_of(const std::string& result_file) {
    const std::string stem = fs::path(result_file).stem().string();
    return stem.empty() ? "orvane" : stem;
}

}  // namespace

ExportPlanResult plan_export(const ExportOptions& options, Tendency tendency,
                             const std::string& result_file,
                             const std::vector<std::string>& inputs) {
    ExportPlan plan;
    plan.options = options;
    plan.tendency = tendency;
    plan.stem = stem_of(result_file);
    if (options.cell_size) {
        std::string error = check_cell_size(*options.cell_size);
        if (!error.empty()) return {std::nullopt, error};
    }
    if (std::string error = choose_variables(options, tendency, plan.variables); !error.empty())
        return {std::nullopt, error};
    if (plan.variables.empty() && !options.station_format)
        return {std::nullopt, "Nothing to export: no grid variable and no station layer chosen"};
    const CrsCheck crs = check_crs(options.crs);
    if (!crs.error.empty()) return {std::nullopt, crs.error};
    plan.crs_wkt = crs.wkt;
    if (std::string error = prepare_folder(options.folder); !error.empty())
        return {std::nullopt, error};
    for (const std::string& name : planned_file_names(plan)) {
        const fs::path target = fs::path(options.folder) / name;
        for (const std::string& input : inputs)
            if (!input.empty() && same_file(target, input))
                return {std::nullopt, "The export would overwrite '" + input +
                                          "', a file of this calculation; choose another folder"};
    }
    return {plan, {}};
}

std::vector<std::string> planned_file_names(const ExportPlan& plan) {
    std::vector<std::string> names;
    for (const GridVariable& v : plan.variables)
        names.push_back(plan.stem + "_" + v.name + std::string(extension_of(plan.options.grid_format)));
    if (plan.options.station_format)
        names.push_back(plan.stem + std::string(extension_of(*plan.options.station_format)));
    return names;
}
