#include "orvgrid/map/map_view.h"

#include <algorithm>
#include <cmath>

GridLattice view_lattice(const MapArea& view, int width, int height, const MapArea& data_area) {
    GridLattice lattice;
    const double view_width = view.x_max - view.x_min;
    const double view_height = view.y_max - view.y_min;
    if (width < 1 || height < 1 || !(view_width > 0.0) || !(view_height > 0.0)) return lattice;
    const double cell = std::max(view_width / width, view_height / height);
    // Whole pixels of the view, counted from its low corner, that overlap the data.
    const auto first = [cell](double low, double data_low) {
        return std::max(0.0, std::floor((data_low - low) / cell));
    };
    const auto end = [cell](double low, double high, double data_high) {
        return std::ceil((std::min(high, data_high) - low) / cell);
    };
    const double i0 = first(view.x_min, data_area.x_min);
    const double j0 = first(view.y_min, data_area.y_min);
    const double i1 = end(view.x_min, view.x_max, data_area.x_max);
    const double j1 = end(view.y_min, view.y_max, data_area.y_max);
    if (!(i1 > i0) || !(j1 > j0)) return lattice;
    lattice.nx = static_cast<std::size_t>(i1 - i0);
    lattice.ny = static_cast<std::size_t>(j1 - j0);
    lattice.cell_size = cell;
    lattice.origin_x = view.x_min + (i0 + 0.5) * cell;
    lattice.origin_y = view.y_min + (j0 + 0.5) * cell;
    return lattice;
}

MapArea lattice_area(const GridLattice& lattice) {
    const double half = 0.5 * lattice.cell_size;
    return {lattice.origin_x - half,
            lattice.origin_x + (static_cast<double>(lattice.nx) - 0.5) * lattice.cell_size,
            lattice.origin_y - half,
            lattice.origin_y + (static_cast<double>(lattice.ny) - 0.5) * lattice.cell_size};
}

std::optional<double> lattice_value_at(const GridLattice& lattice, std::span<const double> values,
                                       double x, double y) {
    if (lattice.nodes() == 0 || values.size() != lattice.nodes()) return std::nullopt;
    const double i = std::floor((x - lattice.origin_x) / lattice.cell_size + 0.5);
    const double j = std::floor((y - lattice.origin_y) / lattice.cell_size + 0.5);
    if (!(i >= 0.0) || !(j >= 0.0) || i >= static_cast<double>(lattice.nx) ||
        j >= static_cast<double>(lattice.ny))
        return std::nullopt;
    return values[static_cast<std::size_t>(i) * lattice.ny + static_cast<std::size_t>(j)];
}
