#pragma once
// Small surveys built in memory for the fit tests: points, extent and cluster index.

#include <cstdint>
#include <span>
#include <vector>

#include "engine/engine.h"
#include "engine/search/cluster_index.h"

struct StationValues {
    double x, y, height, cba;
};

// Points already in the stored (non-negative) frame, with their index.
struct FitFixture {
    PointData points;
    ClusterIndex index;

    FitFixture(const std::vector<StationValues>& stations, double search_radius) {
        points.count = stations.size();
        points.survey.resize(stations.size() + 1);
        points.work.resize(stations.size() + 1);
        PointExtent& e = points.extent;
        e.x_min = e.y_min = e.height_min = 1e38;
        e.x_max = e.y_max = e.height_max = -1e38;
        for (std::size_t i = 0; i < stations.size(); ++i) {
            const StationValues& s = stations[i];
            points.survey[i] = {static_cast<double>(i + 1), s.cba, 0.0};
            WorkPoint& w = points.work[i];
            w.value[0] = s.x, w.value[1] = s.y, w.value[2] = s.height, w.value[3] = s.cba;
            e.x_min = std::min(e.x_min, s.x), e.x_max = std::max(e.x_max, s.x);
            e.y_min = std::min(e.y_min, s.y), e.y_max = std::max(e.y_max, s.y);
            e.height_min = std::min(e.height_min, s.height);
            e.height_max = std::max(e.height_max, s.height);
        }
        index.build(0.1 * search_radius, e.x_min, e.y_min, e.x_max, e.y_max,
                    std::span<const WorkPoint>(points.work.data(), points.count));
    }
};

// A fixed-seed generator of uniform doubles whose sequence does not depend on the
// standard library (64-bit LCG, top 53 bits).
class Lcg {
public:
    explicit Lcg(std::uint64_t seed) : state_(seed) {}
    double uniform(double low, double high) {
        state_ = state_ * 6364136223846793005ull + 1442695040888963407ull;
        return low + (high - low) * static_cast<double>(state_ >> 11) * 0x1.0p-53;
    }

private:
    std::uint64_t state_;
};
