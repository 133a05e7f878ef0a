// The fit reads its candidates slot by slot from the neighbour table and decides most
// distances from squares; these tests hold it to the plain cell-by-cell fit, bit for bit.

#include "engine/search/neighbour_table.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

#include "tests/engine/fit_fixture.h"
#include "engine/fit/trend_model.h"
#include "engine/search/nearest_search.h"
#include "engine/search/radius_test.h"
#include "engine/solvers/gauss_jordan.h"
#include "engine/solvers/moore_penrose.h"
#include "engine/fit/trend_fit.h"
#include "engine/search/cluster_index.h"
#include "engine/solvers/solver_notes.h"

namespace {

std::vector<StationValues> scattered_stations(std::size_t count, std::uint64_t seed) {
    Lcg random(seed);
    std::vector<StationValues> stations;
    for (std::size_t i = 0; i < count; ++i) {
        const double x = random.uniform(0, 400), y = random.uniform(0, 300);
        stations.push_back({x, y, 50 + 0.05 * x + random.uniform(-5, 5),
                            -3 + 0.002 * x - 0.001 * y + random.uniform(-0.01, 0.01)});
    }
    // A grid corner: distances that equal the radius exactly, and a repeated station.
    for (int i = 0; i < 6; ++i)
        for (int k = 0; k < 6; ++k)
            stations.push_back({10.0 * i, 10.0 * k, 40.0 + (i * 7 + k * 3) % 5, -2.0 + 0.1 * i});
    stations.push_back(stations[5]);
    return stations;
}

// The fit as plainly as it can be written: cells one by one, every candidate measured,
// one loop for every tendency, the sums straight into the system.
void plain_fit(const RunSettings& s, const FitFixture& f, std::size_t p, LocalSystem& system) {
    const double* own = f.points.work[p].value;
    const double x0 = own[0], y0 = own[1];
    double rho = s.search_radius, d = s.search_radius;
    if (s.search_mode == SearchMode::NNearest) {
        NearestResult nearest;
        ASSERT_TRUE(NearestSearch(x0, y0, s.nearest_count, s.search_radius, f.index, f.points,
                                  nearest));
        rho = nearest.r_n;
        d = nearest.d;
    }
    const CellWindow w = f.index.covering_window(x0, y0, d);
    auto each = [&](auto&& visit) {
        for (std::size_t ix = w.ix_first; ix < w.ix_end; ++ix)
            for (std::size_t iy = w.iy_first; iy < w.iy_end; ++iy)
                for (std::uint32_t j : f.index.cell_at(ix, iy)) {
                    const double* v = f.points.work[j].value;
                    visit(v, std::hypot(v[0] - x0, v[1] - y0));
                }
    };
    double mean[4] = {0, 0, 0, 0}, count = 0;
    each([&](const double* v, double dist) {
        if (dist > rho) return;
        for (int k = 0; k < 4; ++k) mean[k] += v[k];
        count += 1;
    });
    if (count > 0)
        for (double& m : mean) m /= count;
    const CenteringMode modes[4] = {s.centering_x, s.centering_y, s.centering_z, s.centering_cba};
    double centre[4];
    for (int k = 0; k < 4; ++k)
        centre[k] = modes[k] == CenteringMode::NotCenter     ? 0.0
                    : modes[k] == CenteringMode::CenterToMean ? mean[k]
                                                              : own[k];
    const int terms = s.tendency == Tendency::Linear3x3 ? 4 : unknowns_of(s.tendency);
    system = LocalSystem{};
    each([&](const double* v, double dist) {
        if (!s.include_calc_point && std::fabs(v[0] - x0) < 1e-8 && std::fabs(v[1] - y0) < 1e-8)
            return;
        if (dist > rho) return;
        const double X = v[0] - centre[0], Y = v[1] - centre[1], Z = v[2] - centre[2],
                     U = v[3] - centre[3];
        double t[10];
        switch (s.tendency) {
            case Tendency::Linear3x3:
            case Tendency::Linear4x4: t[0] = X, t[1] = Y, t[2] = Z, t[3] = 1; break;
            case Tendency::Linear6x6:
                t[0] = X, t[1] = Y, t[2] = X * Z, t[3] = Y * Z, t[4] = Z, t[5] = 1;
                break;
            case Tendency::Quadratic10x10:
                t[0] = X, t[1] = Y, t[2] = Z, t[3] = X * X, t[4] = Y * Y, t[5] = Z * Z;
                t[6] = X * Y, t[7] = X * Z, t[8] = Y * Z, t[9] = 1;
                break;
            case Tendency::Linear3x3NteFay: t[0] = X, t[1] = 1, t[2] = Z; break;
        }
        for (int i = 0; i < terms; ++i) {
            for (int k = i; k < terms; ++k) system.matrix[i * 10 + k] += t[i] * t[k];
            system.rhs[i] += t[i] * U;
        }
    });
    for (int i = 0; i < terms; ++i)
        for (int k = i + 1; k < terms; ++k) system.matrix[k * 10 + i] = system.matrix[i * 10 + k];
    const int counter = s.tendency == Tendency::Linear6x6        ? 5
                        : s.tendency == Tendency::Quadratic10x10 ? 9
                        : s.tendency == Tendency::Linear3x3NteFay ? 1
                                                                  : 3;
    system.neighbour_count = system.matrix[counter * 10 + counter];
    SolverNotes notes;
    if (s.solver == SolverKind::GaussJordan)
        solveGaussJordan(system.matrix, system.rhs, unknowns_of(s.tendency));
    else
        solveMoorePenrose(system.matrix, system.rhs, unknowns_of(s.tendency), s.sv_threshold,
                          notes);
}

}  // namespace

TEST(neighbour_table, window_slots_follow_the_cells_in_order) {
    const std::vector<StationValues> stations = scattered_stations(200, 5);
    FitFixture f(stations, 35.0);
    NeighbourTable table;
    table.build(f.index, f.points, 3);  // three threads, each its share of the slots
    Lcg random(9);
    for (int trial = 0; trial < 200; ++trial) {
        const CellWindow w = f.index.covering_window(random.uniform(-50, 450),
                                                     random.uniform(-50, 350),
                                                     random.uniform(0, 120));
        std::vector<std::uint32_t> by_cells, by_slots;
        for (std::size_t ix = w.ix_first; ix < w.ix_end; ++ix)
            for (std::size_t iy = w.iy_first; iy < w.iy_end; ++iy)
                for (std::uint32_t j : f.index.cell_at(ix, iy)) by_cells.push_back(j);
        for_each_window_slot(f.index, w, SlotValues{f.index, f.points, &table}, [&](std::size_t s) {
            const std::uint32_t j = f.index.slot_points()[s];
            by_slots.push_back(j);
            for (int k = 0; k < 4; ++k) EXPECT_EQ(table.values(s)[k], f.points.work[j].value[k]);
        });
        ASSERT_EQ(by_slots, by_cells) << "trial " << trial;
    }
}

TEST(neighbour_table, beyond_radius_agrees_with_the_distance) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    struct Case {
        double rho, dx, dy;
    };
    std::vector<Case> cases = {
        {5, 3, 4},       {5, -3, -4},   {5, 3, 4.000000001}, {10, 6, 8},   {0, 0, 0},
        {0, 1e-300, 0},  {0, 0, -1e-320}, {1e-200, 1e-200, 0}, {1e200, 1e200, 1}, {5, nan, 0},
        {5, 0, nan},     {5, inf, nan}, {nan, 1, 1},          {inf, 1e300, 1e300},
        {1e-120, 6e-121, 8e-121}, {1e120, 6e119, 8e119},      {5, 1e160, 0},
    };
    Lcg random(17);
    for (int i = 0; i < 20000; ++i) {
        const double rho = random.uniform(0.1, 500);
        const double angle = random.uniform(0, 6.283185307179586);
        // Near the circle, where only the distance itself can tell.
        const double r = rho * (1 + random.uniform(-1e-15, 1e-15) * (i % 3));
        cases.push_back({rho, r * std::cos(angle), r * std::sin(angle)});
        cases.push_back({rho, random.uniform(-600, 600), random.uniform(-600, 600)});
    }
    for (const Case& c : cases)
        ASSERT_EQ(BeyondRadius(c.rho)(c.dx, c.dy), std::hypot(c.dx, c.dy) > c.rho)
            << c.rho << " " << c.dx << " " << c.dy;
}

// Every tendency and centring, both search modes, with and without the calculation
// point: the fit through the table gives the plain fit's coefficients and count.
TEST(neighbour_table, fit_through_the_table_equals_the_plain_fit) {
    const std::vector<StationValues> stations = scattered_stations(160, 23);
    const double radius = 40.0;
    FitFixture f(stations, radius);
    NeighbourTable table;
    table.build(f.index, f.points);
    int variant = 0, solved = 0;
    for (int t = 0; t < 5; ++t) {
        for (int mode = 0; mode < 2; ++mode) {
            for (int centring = 0; centring < 3; ++centring, ++variant) {
                RunSettings s;
                s.search_radius = radius;
                s.cell_size = 0.1 * radius;
                s.tendency = static_cast<Tendency>(t);
                s.search_mode = static_cast<SearchMode>(mode);
                s.solver = variant % 2 ? SolverKind::GaussJordan : SolverKind::MoorePenrose;
                s.nearest_count = 8 + variant % 7;
                s.centering_x = static_cast<CenteringMode>(centring);
                s.centering_y = static_cast<CenteringMode>((centring + 1) % 3);
                s.centering_z = static_cast<CenteringMode>((centring + variant) % 3);
                s.centering_cba = static_cast<CenteringMode>((centring + 2) % 3);
                s.include_calc_point = variant % 4 < 2;
                const FitContext context{s, f.points, f.index, &table};
                for (std::size_t p = 0; p < stations.size(); ++p) {
                    const double* v = f.points.work[p].value;
                    LocalSystem want, got;
                    plain_fit(s, f, p, want);
                    AreaMeans means;
                    SolverNotes notes;
                    ASSERT_EQ(fitLocalTrend(context, v[0], v[1], v[2], v[3], p + 1.0, false, got,
                                            means, notes),
                              0);
                    ASSERT_EQ(got.neighbour_count, want.neighbour_count) << variant << " " << p;
                    for (int k = 0; k < 10; ++k)
                        ASSERT_EQ(std::signbit(got.rhs[k]), std::signbit(want.rhs[k]));
                    for (int k = 0; k < 10; ++k) {
                        if (std::isnan(want.rhs[k])) continue;
                        ASSERT_EQ(got.rhs[k], want.rhs[k]) << variant << " " << p << " " << k;
                    }
                    solved += got.rhs[0] != SOLVER_FAILED;
                }
            }
        }
    }
    EXPECT_GT(solved, 1000);
}
