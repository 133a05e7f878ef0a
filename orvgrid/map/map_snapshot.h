#pragma once
// What a map window shows, copied out of the run state when the window opens: a run or a
// load started later replaces the state's points, never these.

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "engine/engine.h"
#include "engine/run/run_state.h"
#include "engine/search/cluster_index.h"
#include "orvgrid/map/map_quantity.h"
#include "orvgrid/map/map_view.h"

struct MapSnapshot {
    PointData points;
    ClusterIndex index;
    Tendency tendency = Tendency::Linear4x4;
    double search_radius = 0.0;
    double grid_radius = 0.0;  // already the search radius where none was given
    std::string source;        // the file the points came from, for the title
    std::vector<MapQuantity> quantities;

    // The points' extent widened by the search radius: no node beyond it gets a value.
    MapArea data_area() const;
    // Stored coordinate minus offset is the coordinate as read, which the axes show.
    double x_offset() const { return points.extent.x_offset; }
    double y_offset() const { return points.extent.y_offset; }
    // Ground size of one preview pixel over the index lattice (the previews' 177 x 145
    // pictures), the length the previews' shading takes its differences over.
    double preview_pixel_size() const;
};

// A copy of the state's points and index with the tendency and radii they were made
// with. Throws std::bad_alloc when the copy does not fit.
std::shared_ptr<const MapSnapshot> take_map_snapshot(const RunState& state, Tendency tendency,
                                                     double search_radius, double grid_radius,
                                                     std::string source);

// One value of a station's row as the readout lists it.
struct RowValue {
    std::string name;
    double value = 0.0;
};

// The row of point p: x and y as read, point number, height and CBA as read, then the
// quantities the run stored for the tendency in their row order.
std::vector<RowValue> station_row(const MapSnapshot& snapshot, std::size_t p);
