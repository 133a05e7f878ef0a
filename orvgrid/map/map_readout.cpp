#include "orvgrid/map/map_readout.h"

#include <cmath>

#include "orvgrid/map/colour_stretch.h"
#include "orvgrid/map/map_view.h"
#include "orvgrid/map/nearest_station.h"

MapReadout readout_at(const MapSnapshot& snapshot, const GridLattice& lattice,
                      std::span<const double> values, double x, double y) {
    MapReadout readout;
    readout.x = x;
    readout.y = y;
    const double stored_x = x + snapshot.x_offset();
    const double stored_y = y + snapshot.y_offset();
    readout.value = lattice_value_at(lattice, values, stored_x, stored_y);
    if (readout.value && is_blank_value(*readout.value)) {
        readout.blank = true;
        readout.value.reset();
    }
    readout.station = nearest_station(snapshot.points, snapshot.index, stored_x, stored_y);
    if (readout.station) {
        const WorkPoint& w = snapshot.points.work[*readout.station];
        readout.station_distance =
            std::hypot(w.value[work::x] - stored_x, w.value[work::y] - stored_y);
        readout.row = station_row(snapshot, *readout.station);
    }
    return readout;
}
