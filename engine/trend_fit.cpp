#include "trend_fit.h"

#include <cmath>

#include "distance.h"
#include "nearest_search.h"
#include "solvers/gauss_jordan.h"
#include "solvers/moore_penrose.h"
#include "solvers/tikhonov.h"

namespace {

// The neighbourhood of one fit: the cells to visit and the radius that bounds it.
struct Neighbourhood {
    CellWindow window;
    double rho = 0.0;
};

// Calls visit(j, distance) for every candidate in the cells of the window: column by
// column, within a column row by row, within a cell in stored order. The order fixes
// the rounding of every sum built from the candidates.
template <class Visit>
void for_each_candidate(const FitContext& context, const CellWindow& window, double x0,
                        double y0, Visit&& visit) {
    const std::vector<WorkPoint>& work = context.points.work;
    for (std::size_t ix = window.ix_first; ix < window.ix_end; ++ix) {
        for (std::size_t iy = window.iy_first; iy < window.iy_end; ++iy) {
            for (std::uint32_t j : context.index.cell_at(ix, iy)) {
                const double* v = work[j].value;
                visit(v, horizontal_distance(v[work::x] - x0, v[work::y] - y0));
            }
        }
    }
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
    for_each_candidate(context, hood.window, x0, y0, [&](const double* v, double d) {
        if (d > hood.rho) return;
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

// Number of terms accumulated: Linear3x3 forms the constant term too, although its
// solver sees only the leading three.
int accumulated_terms(Tendency tendency) {
    return tendency == Tendency::Linear3x3 ? 4 : unknowns_of(tendency);
}

// Terms of one row of the design matrix, in the order of the coefficients.
void terms_of(Tendency tendency, double X, double Y, double Z, double* t) {
    switch (tendency) {
        case Tendency::Linear3x3:
        case Tendency::Linear4x4:
            t[0] = X, t[1] = Y, t[2] = Z, t[3] = 1.0;
            return;
        case Tendency::Linear6x6:
            t[0] = X, t[1] = Y, t[2] = X * Z, t[3] = Y * Z, t[4] = Z, t[5] = 1.0;
            return;
        case Tendency::Quadratic10x10:
            t[0] = X, t[1] = Y, t[2] = Z;
            t[3] = X * X, t[4] = Y * Y, t[5] = Z * Z;
            t[6] = X * Y, t[7] = X * Z, t[8] = Y * Z, t[9] = 1.0;
            return;
        case Tendency::Linear3x3NteFay:
            t[0] = X, t[1] = 1.0, t[2] = Z;
            return;
    }
}

// The diagonal entry that sums the constant term's 1 * 1, i.e. counts the rows.
int counting_term(Tendency tendency) {
    switch (tendency) {
        case Tendency::Linear3x3:
        case Tendency::Linear4x4: return 3;
        case Tendency::Linear6x6: return 5;
        case Tendency::Quadratic10x10: return 9;
        case Tendency::Linear3x3NteFay: return 1;
    }
    return 0;
}

void solve(const FitContext& context, LocalSystem& system, double point_number, bool traced,
           SolverNotes& notes) {
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

}  // namespace

int fitLocalTrend(const FitContext& context, double x0, double y0, double h0, double u0,
                  double point_number, bool traced, LocalSystem& system, AreaMeans& means,
                  SolverNotes& notes) {
    const RunSettings& s = context.settings;
    Neighbourhood hood;
    if (s.search_mode == SearchMode::NNearest) {
        NearestResult nearest;
        if (!NearestSearch(x0, y0, s.nearest_count, s.search_radius, context.index,
                           context.points, nearest))
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

    const double sx = centre_of(s.centering_x, means.mean_x, x0);
    const double sy = centre_of(s.centering_y, means.mean_y, y0);
    const double sz = centre_of(s.centering_z, means.mean_z, h0);
    const double su = centre_of(s.centering_cba, means.mean_cba, u0);
    const int m = accumulated_terms(s.tendency);
    for_each_candidate(context, hood.window, x0, y0, [&](const double* v, double d) {
        const double xj = v[work::x], yj = v[work::y];
        // Leaves out the point of calculation and any point at its place.
        if (!s.include_calc_point && std::fabs(xj - x0) < 1e-8 && std::fabs(yj - y0) < 1e-8)
            return;
        const double X = xj - sx;
        const double Y = yj - sy;
        const double Z = v[work::height] - sz;
        const double U = v[work::cba] - su;
        if (d > hood.rho) return;
        double t[10];
        terms_of(s.tendency, X, Y, Z, t);
        for (int i = 0; i < m; ++i) {
            for (int k = i; k < m; ++k) system.matrix[i * 10 + k] += t[i] * t[k];
            system.rhs[i] += t[i] * U;
        }
    });
    for (int i = 0; i < m; ++i)
        for (int k = i + 1; k < m; ++k) system.matrix[k * 10 + i] = system.matrix[i * 10 + k];

    const int c = counting_term(s.tendency);
    system.neighbour_count = system.matrix[c * 10 + c];

    solve(context, system, point_number, traced, notes);
    return 0;
}
