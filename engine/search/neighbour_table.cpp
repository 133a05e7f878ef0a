#include "engine/search/neighbour_table.h"

#include "engine/memory/populated_resize.h"
#include "engine/run/split_work.h"
#include "engine/search/cluster_index.h"

void NeighbourTable::build(const ClusterIndex& index, const PointData& points, unsigned threads) {
    const auto slots = index.slot_points();
    if (values_.size() != 4 * slots.size()) assign_populated(values_, 4 * slots.size(), 0.0, threads);
    split_work(slots.size(), threads, [&](std::size_t begin, std::size_t end) {
        for (std::size_t s = begin; s < end; ++s) {
            const double* v = points.work[slots[s]].value;
            double* out = &values_[4 * s];
            out[0] = v[work::x];
            out[1] = v[work::y];
            out[2] = v[work::height];
            out[3] = v[work::cba];
        }
    });
}
