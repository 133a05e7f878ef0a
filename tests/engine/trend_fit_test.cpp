#include "engine/fit/trend_fit.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "tests/engine/fit_fixture.h"
#include "engine/fit/trend_model.h"
#include "engine/solvers/solver_notes.h"

namespace {

// Terms of each tendency written out afresh, as the oracle for the fitted coefficients.
std::vector<double> model_terms(Tendency t, double X, double Y, double Z) {
    switch (t) {
        case Tendency::Linear3x3: return {X, Y, Z};
        case Tendency::Linear4x4: return {X, Y, Z, 1.0};
        case Tendency::Linear6x6: return {X, Y, X * Z, Y * Z, Z, 1.0};
        case Tendency::Quadratic10x10:
            return {X, Y, Z, X * X, Y * Y, Z * Z, X * Y, X * Z, Y * Z, 1.0};
        case Tendency::Linear3x3NteFay: return {X, 1.0, Z};
    }
    return {};
}

RunSettings settings_for(Tendency t, SolverKind solver, double radius) {
    RunSettings s;
    s.tendency = t;
    s.solver = solver;
    s.search_radius = radius;
    s.cell_size = 0.1 * radius;
    return s;
}

struct FitOutput {
    int result = 0;
    LocalSystem system;
    AreaMeans means;
};

FitOutput fit_point(const RunSettings& s, const FitFixture& f, std::size_t i) {
    FitOutput out;
    SolverNotes notes;
    FitContext context{s, f.points, f.index};
    const double* v = f.points.work[i].value;
    out.result = fitLocalTrend(context, v[0], v[1], v[2], v[3], 1.0, false, out.system,
                               out.means, notes);
    return out;
}

}  // namespace

// Point 0 sits at (50, 50); the anomalies of the others follow the tendency's own model
// exactly in the frame centred on it, so the fit must hand back the model's coefficients.
TEST(trend_fit, recovers_each_tendency_from_an_exact_model) {
    const double coefficients[10] = {0.8, -0.6, 0.25, 0.004, -0.003, 0.02, 0.005, -0.01,
                                     0.007, 12.0};
    for (Tendency t : {Tendency::Linear3x3, Tendency::Linear4x4, Tendency::Linear6x6,
                       Tendency::Quadratic10x10, Tendency::Linear3x3NteFay}) {
        Lcg random(17);
        std::vector<StationValues> stations{{50.0, 50.0, 4.0, 0.0}};
        for (int j = 0; j < 40; ++j) {
            const double x = random.uniform(35.0, 65.0), y = random.uniform(35.0, 65.0);
            const double h = random.uniform(0.0, 8.0);
            std::vector<double> terms = model_terms(t, x - 50.0, y - 50.0, h);
            double u = 0.0;
            for (std::size_t i = 0; i < terms.size(); ++i) u += coefficients[i] * terms[i];
            stations.push_back({x, y, h, u});
        }
        FitFixture f(stations, 25.0);
        RunSettings s = settings_for(t, SolverKind::GaussJordan, 25.0);
        FitOutput out = fit_point(s, f, 0);
        ASSERT_EQ(out.result, 0);
        const int n = unknowns_of(t);
        for (int i = 0; i < n; ++i)
            EXPECT_NEAR(out.system.rhs[i], coefficients[i], 1e-7 * (1.0 + std::fabs(coefficients[i])))
                << "tendency " << static_cast<int>(t) << " coefficient " << i;
        EXPECT_GT(out.system.neighbour_count, 20.0);
    }
}

TEST(trend_fit, linear3x3_without_centring_passes_through_the_frame_origin) {
    Lcg random(5);
    std::vector<StationValues> stations{{20.0, 20.0, 3.0, 0.0}};
    for (int j = 0; j < 25; ++j) {
        const double x = random.uniform(10.0, 30.0), y = random.uniform(10.0, 30.0);
        const double h = random.uniform(0.0, 6.0);
        stations.push_back({x, y, h, 2.0 * x - 3.0 * y + 0.5 * h});
    }
    FitFixture f(stations, 15.0);
    RunSettings s = settings_for(Tendency::Linear3x3, SolverKind::GaussJordan, 15.0);
    s.centering_x = s.centering_y = CenteringMode::NotCenter;
    FitOutput out = fit_point(s, f, 0);
    EXPECT_NEAR(out.system.rhs[0], 2.0, 1e-9);
    EXPECT_NEAR(out.system.rhs[1], -3.0, 1e-9);
    EXPECT_NEAR(out.system.rhs[2], 0.5, 1e-9);
}

TEST(trend_fit, neighbour_at_exactly_rho_takes_part) {
    // hypot(3, 4) and hypot(0, 5) are exactly 5; the third point lies just outside.
    FitFixture f({{10, 10, 1, 0}, {13, 14, 2, 1}, {10, 15, 3, 2}, {10, 15.000001, 4, 3},
                  {7, 6, 5, 4}},
                 5.0);
    RunSettings s = settings_for(Tendency::Linear4x4, SolverKind::GaussJordan, 5.0);
    EXPECT_EQ(fit_point(s, f, 0).system.neighbour_count, 3.0);
}

TEST(trend_fit, point_of_calculation_and_points_at_its_place_are_left_out) {
    // Within 1e-8 in both x and y counts as the same place; 1e-8 away does not.
    const std::vector<StationValues> stations{
        {0, 0, 1, 0},    {0.5e-8, 0, 2, 1}, {0, 0.9e-8, 3, 2}, {1e-8, 0, 4, 3},
        {0, 1e-8, 5, 4}, {1, 0, 6, 5},      {0, 2, 7, 6},      {1.5, 1.5, 8, 7}};
    FitFixture f(stations, 5.0);
    RunSettings s = settings_for(Tendency::Linear4x4, SolverKind::GaussJordan, 5.0);
    EXPECT_EQ(fit_point(s, f, 0).system.neighbour_count, 5.0);
    s.include_calc_point = true;
    EXPECT_EQ(fit_point(s, f, 0).system.neighbour_count, 8.0);
}

TEST(trend_fit, area_means_count_the_point_of_calculation) {
    FitFixture f({{10, 10, 2, 6}, {12, 10, 4, 0}, {10, 13, 6, 3}, {40, 40, 100, 100}}, 5.0);
    RunSettings s = settings_for(Tendency::Linear4x4, SolverKind::GaussJordan, 5.0);
    s.centering_x = CenteringMode::CenterToMean;
    FitOutput out = fit_point(s, f, 0);
    EXPECT_DOUBLE_EQ(out.means.mean_x, 32.0 / 3.0);
    EXPECT_DOUBLE_EQ(out.means.mean_y, 11.0);
    EXPECT_DOUBLE_EQ(out.means.mean_z, 4.0);
    EXPECT_DOUBLE_EQ(out.means.mean_cba, 3.0);
    EXPECT_EQ(out.system.neighbour_count, 2.0);
}

TEST(trend_fit, nearest_ties_all_take_part) {
    // The point itself uses one of the N places; the four at distance 1 tie for the rest.
    std::vector<StationValues> stations{{5, 5, 1, 0}, {6, 5, 2, 1}, {4, 5, 3, 2},
                                        {5, 6, 4, 3}, {5, 4, 5, 4}};
    for (int j = 0; j < 8; ++j) stations.push_back({5.0 + 2.0 + 0.3 * j, 5.0, 1.0 * j, 1.0});
    FitFixture f(stations, 0.5);
    RunSettings s = settings_for(Tendency::Linear4x4, SolverKind::GaussJordan, 0.5);
    s.search_mode = SearchMode::NNearest;
    s.nearest_count = 3;
    EXPECT_EQ(fit_point(s, f, 0).system.neighbour_count, 4.0);
    // Distinct distances: the point itself and nine others.
    s.nearest_count = 10;
    EXPECT_EQ(fit_point(s, f, 0).system.neighbour_count, 9.0);
}

TEST(trend_fit, empty_neighbourhood_fails_under_gauss_jordan) {
    FitFixture f({{0, 0, 1, 0}, {100, 100, 2, 1}}, 5.0);
    RunSettings s = settings_for(Tendency::Linear4x4, SolverKind::GaussJordan, 5.0);
    FitOutput out = fit_point(s, f, 0);
    EXPECT_EQ(out.result, 0);
    EXPECT_EQ(out.system.rhs[0], SOLVER_FAILED);
    EXPECT_EQ(out.system.neighbour_count, 0.0);
}

TEST(trend_fit, flat_ground_centred_to_the_point_fails_under_gauss_jordan) {
    Lcg random(3);
    std::vector<StationValues> stations{{20, 20, 300, 1}};
    for (int j = 0; j < 20; ++j)
        stations.push_back({random.uniform(10, 30), random.uniform(10, 30), 300.0,
                            random.uniform(0, 5)});
    FitFixture f(stations, 15.0);
    for (Tendency t : {Tendency::Linear3x3, Tendency::Linear4x4, Tendency::Linear6x6,
                       Tendency::Quadratic10x10, Tendency::Linear3x3NteFay}) {
        RunSettings s = settings_for(t, SolverKind::GaussJordan, 15.0);
        s.centering_z = CenteringMode::CenterToPoint;
        EXPECT_EQ(fit_point(s, f, 0).system.rhs[0], SOLVER_FAILED)
            << "tendency " << static_cast<int>(t);
    }
}

namespace {

// A buried sphere: centre 400 m below height 0 at (1000, 1000), radius 200 m, density
// contrast 1000 kg/m^3. Anomaly g = G M z / r^3 in mGal at a station of height h
// (z = 400 + h), and its horizontal gradient -3 G M z (x - xs) / r^5 in mGal/m.
struct Sphere {
    static constexpr double G = 6.674e-11;
    static constexpr double xs = 2000.0, ys = 2000.0, depth = 1000.0;
    double gm = G * 4.0 / 3.0 * 3.141592653589793 * 400.0 * 400.0 * 400.0 * 1000.0;

    double anomaly(double x, double y, double h) const {
        const double z = depth + h, dx = x - xs, dy = y - ys;
        const double r = std::sqrt(dx * dx + dy * dy + z * z);
        return 1e5 * gm * z / (r * r * r);
    }
    double gradient(double d, double x, double y, double h) const {
        const double z = depth + h, dx = x - xs, dy = y - ys;
        const double r2 = dx * dx + dy * dy + z * z;
        return -3e5 * gm * z * d / (r2 * r2 * std::sqrt(r2));
    }
};

}  // namespace

// Stations on a 50 m grid over the sphere, random heights of 50 to 150 m (so that the
// height term is well determined) and a regional trend of 0.001 mGal/m east and
// -0.0005 mGal/m north. On a symmetric neighbourhood the even Taylor terms do not tilt a
// fitted plane; the first that does is the cubic one. Over a disc of radius R it adds
// (g_xxx + g_xyy) R^2 / 12 to the x slope, which for a harmonic field is -g_xzz R^2 / 12.
// The bound is twice the largest such bias: the random heights let a little of the even
// terms through the height term, and the disc is drawn on a grid (measured: 1.5 times).
TEST(trend_fit, linear4x4_slopes_follow_the_gradient_of_a_buried_sphere) {
    const Sphere sphere;
    const double R = 200.0;
    Lcg random(2024);
    std::vector<StationValues> stations;
    for (int j = 0; j < 81 * 81; ++j) {
        const double x = 50.0 * (j / 81), y = 50.0 * (j % 81);
        const double h = random.uniform(50.0, 150.0);
        stations.push_back({x, y, h, sphere.anomaly(x, y, h) + 0.001 * x - 0.0005 * y + 20.0});
    }
    FitFixture f(stations, R);
    RunSettings s = settings_for(Tendency::Linear4x4, SolverKind::GaussJordan, R);
    double worst = 0.0, peak = 0.0, bias = 0.0;
    int compared = 0;
    for (std::size_t i = 0; i < f.points.count; ++i) {
        const StationValues& p = stations[i];
        if (p.x < 800 || p.x > 3200 || p.y < 800 || p.y > 3200) continue;
        FitOutput out = fit_point(s, f, i);
        ASSERT_NE(out.system.rhs[0], SOLVER_FAILED);
        // The model has no x-height term: its slopes hold for the neighbours' mean height.
        double h_sum = 0.0, n = 0.0;
        for (std::size_t j = 0; j < stations.size(); ++j) {
            if (j != i && std::hypot(stations[j].x - p.x, stations[j].y - p.y) <= R)
                h_sum += stations[j].height, n += 1.0;
        }
        const double h = h_sum / n;
        const double dx = p.x - Sphere::xs, dy = p.y - Sphere::ys;
        const double gx = sphere.gradient(dx, p.x, p.y, h);
        const double gy = sphere.gradient(dy, p.x, p.y, h);
        worst = std::max({worst, std::fabs(out.system.rhs[0] - 0.001 - gx),
                          std::fabs(out.system.rhs[1] + 0.0005 - gy)});
        peak = std::max({peak, std::fabs(gx), std::fabs(gy)});
        const double dz = 1.0;  // second difference in height of the analytic gradient
        for (double d : {dx, dy}) {
            const double gzz = (sphere.gradient(d, p.x, p.y, h + dz) -
                                2.0 * sphere.gradient(d, p.x, p.y, h) +
                                sphere.gradient(d, p.x, p.y, h - dz)) /
                               (dz * dz);
            bias = std::max(bias, std::fabs(gzz) * R * R / 12.0);
        }
        ++compared;
    }
    EXPECT_GT(compared, 2000);
    EXPECT_LT(worst, 2.0 * bias);
    std::printf("sphere: %d stations, worst slope error %.3g mGal/m (%.1f %% of the peak "
                "gradient %.3g), cubic bias bound %.3g\n",
                compared, worst, 100.0 * worst / peak, peak, bias);
}
