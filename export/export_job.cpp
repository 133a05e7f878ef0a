#include "export/export_job.h"

#include <new>
#include <stdexcept>
#include <utility>

#include "export/grid_file.h"
#include "export/staged_files.h"
#include "export/station_layer.h"
#include "orvgrid/grid/lattice_grid.h"

namespace {

// The gridded values as a file takes them: blanks become the files' nodata, and the x
// and y variables, gridded from the stored (shifted) coordinates, are shifted back.
void finish_values(std::vector<double>& values, int position, const PointExtent& extent) {
    const double offset = position == work::x   ? extent.x_offset
                          : position == work::y ? extent.y_offset
                                                : 0.0;
    for (double& v : values) {
        if (v >= BLANK_LIMIT) v = EXPORT_NODATA;
        else v -= offset;
    }
}

ExportResult failed(RunMonitor& monitor, const std::string& message) {
    monitor.show_message(message);
    return {};
}

}  // namespace

GridSize planned_lattice(const ExportPlan& plan, const RunState& state, std::size_t max_nodes) {
    const double cell = plan.options.cell_size ? *plan.options.cell_size : state.index.cell_size();
    return export_lattice(state.points.extent, cell, max_nodes);
}

namespace {

// run_export without the failed allocations outside the gridding.
ExportResult export_files(const ExportPlan& plan, const ExportSource& source,
                          RunMonitor& monitor) {
    const RunState& state = *source.state;
    const std::vector<std::string> names = planned_file_names(plan);
    StagedFiles staged;
    if (std::string error = staged.open(plan.options.folder); !error.empty())
        return failed(monitor, error);

    if (!plan.variables.empty()) {
        const GridSize size = planned_lattice(plan, state, export_node_limit());
        if (!size.lattice) return failed(monitor, size.error);
        const GridLattice& lattice = *size.lattice;
        const PointExtent& extent = state.points.extent;
        GridFileSpec spec;
        spec.format = plan.options.grid_format;
        spec.value_type = plan.options.value_type;
        spec.crs_wkt = plan.crs_wkt;
        ExportGrid grid;
        grid.nx = lattice.nx;
        grid.ny = lattice.ny;
        grid.west = lattice.origin_x - extent.x_offset;
        grid.south = lattice.origin_y - extent.y_offset;
        grid.cell_size = lattice.cell_size;
        for (std::size_t v = 0; v < plan.variables.size(); ++v) {
            const GridVariable& variable = plan.variables[v];
            try {
                const GridOutcome outcome = grid_lattice(
                    state.points, state.index, variable.position, source.search_radius,
                    source.grid_radius, lattice, monitor, grid.values, source.threads);
                if (outcome == GridOutcome::Cancelled) return {ExportOutcome::Cancelled, {}};
            } catch (const std::bad_alloc&) {
                return failed(monitor, "Not enough memory for the grid of " + variable.name);
            } catch (const std::length_error&) {
                return failed(monitor, "Not enough memory for the grid of " + variable.name);
            }
            finish_values(grid.values, variable.position, extent);
            grid.name = variable.name;
            if (std::string error = write_grid_file(grid, spec, staged.staging_path(names[v]));
                !error.empty())
                return failed(monitor, error);
        }
    }
    if (plan.options.station_format) {
        StationLayerSpec spec;
        spec.format = *plan.options.station_format;
        spec.crs_wkt = plan.crs_wkt;
        spec.layer_name = plan.stem;
        if (std::string error = write_station_layer(state, plan.tendency, spec,
                                                    staged.staging_path(names.back()));
            !error.empty())
            return failed(monitor, error);
    }
    ExportResult result;
    if (std::string error = staged.commit(result.files); !error.empty())
        return failed(monitor, error);
    result.outcome = ExportOutcome::Written;
    return result;
}

}  // namespace

ExportResult run_export(const ExportPlan& plan, const ExportSource& source, RunMonitor& monitor) {
    // GDAL lets a failed allocation of its own C++ parts through (opening a layer,
    // checking creation options); the staged files are discarded on the way out.
    try {
        return export_files(plan, source, monitor);
    } catch (const std::bad_alloc&) {
    } catch (const std::length_error&) {
    }
    return failed(monitor, "Not enough memory to write the export files");
}
