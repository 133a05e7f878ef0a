#pragma once
// What the map window reads out under the cursor: the position, the gridded value of the
// node there, and the nearest station with its row.

#include <cstddef>
#include <optional>
#include <span>
#include <vector>

#include "orvgrid/grid/lattice_grid.h"
#include "orvgrid/map/map_snapshot.h"

struct MapReadout {
    double x = 0.0, y = 0.0;  // survey coordinates, as read
    // The value of the node under the position: nullopt outside the gridded picture,
    // blank where the node has no value.
    std::optional<double> value;
    bool blank = false;
    std::optional<std::size_t> station;  // index of the nearest point
    double station_distance = 0.0;       // metres
    std::vector<RowValue> row;           // the station's row, empty without a station
};

// The readout at survey coordinates (x, y) over `values` gridded on `lattice` (stored
// coordinates, as the gridding uses them).
MapReadout readout_at(const MapSnapshot& snapshot, const GridLattice& lattice,
                      std::span<const double> values, double x, double y);
