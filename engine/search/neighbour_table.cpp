#include "engine/search/neighbour_table.h"
#include "engine/search/cluster_index.h"

void NeighbourTable::build(const ClusterIndex& index, const PointData& points) {
    const auto slots = index.slot_points();
    values_.resize(4 * slots.size());
    for (std::size_t s = 0; s < slots.size(); ++s) {
        const double* v = points.work[slots[s]].value;
        double* out = &values_[4 * s];
        out[0] = v[work::x];
        out[1] = v[work::y];
        out[2] = v[work::height];
        out[3] = v[work::cba];
    }
}
