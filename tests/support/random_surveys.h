#pragma once
// Seeded random surveys of the shapes that trouble a gridding: clusters and gaps, points
// repeated at one place, points on the lattice's nodes, coordinates far from the origin
// or packed into a few millimetres, and values of every size.

#include <array>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/engine.h"
#include "tests/support/test_points.h"

struct RandomSurvey {
    std::string name;
    PointData points;
    double spacing = 1.0;  // typical distance between neighbours
};

class SurveyRandom {
   public:
    explicit SurveyRandom(std::uint64_t seed) : state_(seed) {}
    std::uint64_t next() {
        std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    double uniform(double low, double high) {
        return low + (high - low) * static_cast<double>(next() >> 11) * 0x1.0p-53;
    }
    double normal() {  // Box-Muller
        const double u = uniform(1e-12, 1.0), v = uniform(0.0, 1.0);
        return std::sqrt(-2.0 * std::log(u)) * std::cos(6.283185307179586 * v);
    }

   private:
    std::uint64_t state_;
};

// Positions 5, 6 and 7 hold two more variables than `position` (a smooth field, a
// rougher one), so that several variables can be gridded from the same points.
inline void add_more_variables(PointData& points) {
    for (std::size_t p = 0; p < points.count; ++p) {
        double* v = points.work[p].value;
        v[5] = std::sin(v[work::x] * 0.37) * 4.0 + v[work::cba] * 0.5;
        v[6] = std::cos(v[work::y] * 1.3) - v[work::cba];
        v[7] = v[work::cba] * v[work::cba] - 1.0;
    }
}

// The shapes, each about `count` points over roughly `side` x 0.7 side at the given
// origin, values at position `position`.
inline std::vector<RandomSurvey> random_surveys(std::uint64_t seed, int count, int position) {
    SurveyRandom r(seed);
    std::vector<RandomSurvey> surveys;
    auto add = [&](const std::string& name, std::vector<std::array<double, 3>> xyv,
                   double spacing) {
        RandomSurvey s;
        s.name = name;
        s.points = make_points(xyv, position);
        s.spacing = spacing;
        add_more_variables(s.points);
        surveys.push_back(std::move(s));
    };
    auto field = [](double x, double y) { return std::sin(x * 0.05) * 10.0 + y * 0.1; };

    {  // clusters with a gap across the middle
        std::vector<std::array<double, 3>> xyv;
        for (int c = 0; c < 12; ++c) {
            const double cx = r.uniform(0.0, 200.0), cy = r.uniform(0.0, 140.0);
            for (int k = 0; k < count / 12; ++k) {
                const double x = cx + 8.0 * r.normal(), y = cy + 8.0 * r.normal();
                if (x > 90.0 && x < 110.0) continue;
                xyv.push_back({x, y, field(x, y) + r.normal()});
            }
        }
        add("clustered", xyv, 3.0);
    }
    {  // repeated places: exact copies and other values at the same place
        std::vector<std::array<double, 3>> xyv;
        for (int k = 0; k < count / 2; ++k) {
            const double x = r.uniform(0.0, 150.0), y = r.uniform(0.0, 100.0);
            xyv.push_back({x, y, field(x, y)});
            if (k % 3 == 0) xyv.push_back({x, y, field(x, y)});
            if (k % 5 == 0) xyv.push_back({x, y, -field(x, y)});
        }
        add("duplicates", xyv, 3.0);
    }
    {  // on the nodes of a 2 m lattice whose origin is the first point
        std::vector<std::array<double, 3>> xyv = {{0.0, 0.0, 1.0}};
        for (int k = 0; k < count; ++k) {
            const double x = 2.0 * static_cast<double>(r.next() % 80);
            const double y = 2.0 * static_cast<double>(r.next() % 50);
            xyv.push_back({x, y, field(x, y)});
        }
        add("on_nodes", xyv, 4.0);
    }
    {  // far from the origin: survey coordinates in the millions and beyond
        std::vector<std::array<double, 3>> xyv;
        for (int k = 0; k < count; ++k) {
            const double x = 4.5e6 + r.uniform(0.0, 3000.0), y = 6.2e9 + r.uniform(0.0, 2000.0);
            xyv.push_back({x, y, field(x - 4.5e6, y - 6.2e9)});
        }
        add("huge", xyv, 60.0);
    }
    {  // packed into 30 x 20 millimetres: the 0.001 offsets are most of a distance
        std::vector<std::array<double, 3>> xyv;
        for (int k = 0; k < count; ++k) {
            const double x = r.uniform(0.0, 0.03), y = r.uniform(0.0, 0.02);
            xyv.push_back({x, y, std::sin(x * 300.0) + y * 50.0});
        }
        add("tiny", xyv, 0.0006);
    }
    {  // values of every size, signs and zeros
        std::vector<std::array<double, 3>> xyv;
        const double values[] = {0.0, -0.0, 1e300, -1e300, 1e-300, 5e-324, 3.0, -7.5, 1e15};
        for (int k = 0; k < count; ++k) {
            const double x = r.uniform(0.0, 120.0), y = r.uniform(0.0, 80.0);
            xyv.push_back({x, y, values[r.next() % 9] * (1.0 + r.uniform(0.0, 1e-3))});
        }
        add("extreme_values", xyv, 2.5);
    }
    return surveys;
}
