#include "engine/fit/trend_fit.h"

#include <array>
#include <cmath>
#include <utility>

#include "engine/fit/trend_model.h"
#include "engine/search/nearest_search.h"
#include "engine/search/neighbour_table.h"
#include "engine/search/radius_test.h"
#include "engine/solvers/gauss_jordan.h"
#include "engine/solvers/moore_penrose.h"
#include "engine/solvers/tikhonov.h"
#include "engine/search/cluster_index.h"
#include "engine/solvers/solver_notes.h"

namespace {

// The neighbourhood of one fit: the cells to visit and the radius that bounds it.
struct Neighbourhood {
    CellWindow window;
    double rho = 0.0;
};

// Calls visit(values) for every candidate in the cells of the window, in the order of
// for_each_window_slot. The order fixes the rounding of every sum built from the
// candidates.
template <class Visit>
void for_each_candidate(const FitContext& context, const CellWindow& window, Visit&& visit) {
    const SlotValues values{context.index, context.points, context.table};
    for_each_window_slot(context.index, window, values,
                         [&](std::size_t s) { visit(values(s)); });
}

bool centres_to_mean(const RunSettings& s) {
    return s.centering_x == CenteringMode::CenterToMean ||
           s.centering_y == CenteringMode::CenterToMean ||
           s.centering_z == CenteringMode::CenterToMean ||
           s.centering_cba == CenteringMode::CenterToMean;
}

// Plain means of the raw values within rho; the point of calculation counts here
// whatever include_calc_point says. All 0 for an empty neighbourhood.
AreaMeans area_means(const FitContext& context, const Neighbourhood& hood, double x0,
                     double y0) {
    double sum_x = 0.0, sum_y = 0.0, sum_z = 0.0, sum_u = 0.0;
    double count = 0.0;
    const BeyondRadius beyond(hood.rho);
    for_each_candidate(context, hood.window, [&](const double* v) {
        if (beyond(v[work::x] - x0, v[work::y] - y0)) return;
        sum_x += v[work::x];
        sum_y += v[work::y];
        sum_z += v[work::height];
        sum_u += v[work::cba];
        count += 1.0;
    });
    AreaMeans means;
    if (count > 0.0) {
        means.mean_x = sum_x / count;
        means.mean_y = sum_y / count;
        means.mean_z = sum_z / count;
        means.mean_cba = sum_u / count;
    }
    return means;
}

double centre_of(CenteringMode mode, double mean, double own) {
    switch (mode) {
        case CenteringMode::NotCenter: return 0.0;
        case CenteringMode::CenterToMean: return mean;
        case CenteringMode::CenterToPoint: return own;
    }
    return 0.0;
}

template <Factor F>
double factor_value(double X, double Y, double Z) {
    if constexpr (F == Factor::X) return X;
    if constexpr (F == Factor::Y) return Y;
    if constexpr (F == Factor::Z) return Z;
    return 1.0;
}

// One term of a row: a product only where the term has two factors, so a linear term is
// the centred value itself and the constant term exactly 1.
template <Term T>
double term_value(double X, double Y, double Z) {
    if constexpr (T.second == Factor::One) return factor_value<T.first>(X, Y, Z);
    return factor_value<T.first>(X, Y, Z) * factor_value<T.second>(X, Y, Z);
}

// Terms of one row of the design matrix, in the order of the coefficients.
template <Tendency T, std::size_t... I>
void terms_of(double X, double Y, double Z, double* t, std::index_sequence<I...>) {
    ((t[I] = term_value<trend_model(T).terms[I]>(X, Y, Z)), ...);
}

// The values subtracted from x, y, height and anomaly of every neighbour.
struct Centre {
    double x, y, z, u;
};

// Step 3 of the fit for one tendency: the upper triangle of the normal equations and
// the right-hand side, summed neighbour by neighbour in candidate order. Each sum starts
// from 0 and takes its terms in the same order as a plain loop over all tendencies
// would; fixing the tendency only lets the compiler unroll the loops.
template <Tendency T>
void accumulate_rows(const FitContext& context, const Neighbourhood& hood, double x0,
                     double y0, const Centre& centre, LocalSystem& system) {
    constexpr int m = static_cast<int>(trend_model(T).terms.size());
    double matrix[m * m] = {};
    double rhs[m] = {};
    const bool include_calc_point = context.settings.include_calc_point;
    const BeyondRadius beyond(hood.rho);
    for_each_candidate(context, hood.window, [&](const double* v) {
        const double xj = v[work::x], yj = v[work::y];
        // Leaves out the point of calculation and any point at its place.
        if (!include_calc_point && std::fabs(xj - x0) < 1e-8 && std::fabs(yj - y0) < 1e-8)
            return;
        if (beyond(xj - x0, yj - y0)) return;
        const double X = xj - centre.x;
        const double Y = yj - centre.y;
        const double Z = v[work::height] - centre.z;
        const double U = v[work::cba] - centre.u;
        double t[m];
        terms_of<T>(X, Y, Z, t, std::make_index_sequence<m>{});
        for (int i = 0; i < m; ++i) {
            for (int k = i; k < m; ++k) matrix[i * m + k] += t[i] * t[k];
            rhs[i] += t[i] * U;
        }
    });
    for (int i = 0; i < m; ++i) {
        for (int k = i; k < m; ++k) system.matrix[i * 10 + k] = matrix[i * m + k];
        system.rhs[i] = rhs[i];
    }
}

// accumulate_rows of every model, indexed by Tendency.
template <std::size_t... I>
constexpr auto row_accumulators(std::index_sequence<I...>) {
    return std::array{&accumulate_rows<static_cast<Tendency>(I)>...};
}
constexpr auto ROW_ACCUMULATORS =
    row_accumulators(std::make_index_sequence<TREND_MODELS.size()>{});

}  // namespace

void solveLocalSystem(const FitContext& context, LocalSystem& system, double point_number,
                      bool traced, SolverNotes& notes) {
    const RunSettings& s = context.settings;
    const int n = unknowns_of(s.tendency);
    switch (s.solver) {
        case SolverKind::GaussJordan:
            solveGaussJordan(system.matrix, system.rhs, n);
            break;
        case SolverKind::MoorePenrose:
            solveMoorePenrose(system.matrix, system.rhs, n, s.sv_threshold, notes);
            break;
        case SolverKind::Tichonov:
            solveTikhonov(system.matrix, system.rhs, n, point_number, traced, s, notes);
            break;
    }
}

int buildLocalSystem(const FitContext& context, double x0, double y0, double h0, double u0,
                     LocalSystem& system, AreaMeans& means) {
    const RunSettings& s = context.settings;
    Neighbourhood hood;
    if (s.search_mode == SearchMode::NNearest) {
        NearestResult nearest;
        if (!NearestSearch(x0, y0, s.nearest_count, s.search_radius, context.index,
                           context.points, nearest, context.table))
            return 1;
        hood.rho = nearest.r_n;
        hood.window = context.index.covering_window(x0, y0, nearest.d);
    } else {
        hood.rho = s.search_radius;
        hood.window = context.index.covering_window(x0, y0, s.search_radius);
    }

    if (centres_to_mean(s)) means = area_means(context, hood, x0, y0);

    for (double& m : system.matrix) m = 0.0;
    for (double& r : system.rhs) r = 0.0;

    const Centre centre{centre_of(s.centering_x, means.mean_x, x0),
                        centre_of(s.centering_y, means.mean_y, y0),
                        centre_of(s.centering_z, means.mean_z, h0),
                        centre_of(s.centering_cba, means.mean_cba, u0)};
    ROW_ACCUMULATORS[static_cast<std::size_t>(s.tendency)](context, hood, x0, y0, centre,
                                                           system);
    const TrendModel& model = trend_model(s.tendency);
    const int m = static_cast<int>(model.terms.size());
    for (int i = 0; i < m; ++i)
        for (int k = i + 1; k < m; ++k) system.matrix[k * 10 + i] = system.matrix[i * 10 + k];

    const int c = model.counting_term();
    system.neighbour_count = system.matrix[c * 10 + c];
    return 0;
}

int fitLocalTrend(const FitContext& context, double x0, double y0, double h0, double u0,
                  double point_number, bool traced, LocalSystem& system, AreaMeans& means,
                  SolverNotes& notes) {
    if (buildLocalSystem(context, x0, y0, h0, u0, system, means) != 0) return 1;
    solveLocalSystem(context, system, point_number, traced, notes);
    return 0;
}
