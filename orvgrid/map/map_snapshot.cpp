#include "orvgrid/map/map_snapshot.h"

#include <algorithm>

MapArea MapSnapshot::data_area() const {
    const PointExtent& e = points.extent;
    return {e.x_min - search_radius, e.x_max + search_radius, e.y_min - search_radius,
            e.y_max + search_radius};
}

double MapSnapshot::preview_pixel_size() const {
    const double c = index.cell_size();
    return std::max(static_cast<double>(index.nx()) * c / 177.0,
                    static_cast<double>(index.ny()) * c / 145.0);
}

std::shared_ptr<const MapSnapshot> take_map_snapshot(const RunState& state, Tendency tendency,
                                                     double search_radius, double grid_radius,
                                                     std::string source) {
    auto snapshot = std::make_shared<MapSnapshot>();
    snapshot->points = state.points;
    snapshot->index = state.index;
    snapshot->tendency = tendency;
    snapshot->search_radius = search_radius;
    snapshot->grid_radius = grid_radius;
    snapshot->source = std::move(source);
    snapshot->quantities = map_quantities(tendency);
    return snapshot;
}

std::vector<RowValue> station_row(const MapSnapshot& snapshot, std::size_t p) {
    const SurveyPoint& s = snapshot.points.survey[p];
    const WorkPoint& w = snapshot.points.work[p];
    std::vector<RowValue> row = {{"x", snapshot.points.x(p) - snapshot.x_offset()},
                                 {"y", snapshot.points.y(p) - snapshot.y_offset()},
                                 {"point", s.point_number},
                                 {"h", snapshot.points.height(p)},
                                 {"cba", s.cba}};
    // HEIGHT and CBA lead the quantities; the row has them as read already.
    for (std::size_t q = 2; q < snapshot.quantities.size(); ++q)
        row.push_back({snapshot.quantities[q].name, w.value[snapshot.quantities[q].position]});
    return row;
}
