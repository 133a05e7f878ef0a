#include "engine/solvers/l_curve.h"

#include <cmath>

#include "engine/points/number_text.h"
#include "engine/solvers/tikhonov.h"
#include "engine/solvers/solver_notes.h"

namespace {

constexpr double PI = 3.14159265358979323846;

// Bend of the curve at inner point i, in degrees: 180 on a straight line, 0 when a
// neighbour coincides with the point (that point is then no candidate).
double angleAt(const std::vector<double>& X, const std::vector<double>& Y, std::size_t i) {
    const double d1x = X[i - 1] - X[i], d1y = Y[i - 1] - Y[i];
    const double d2x = X[i + 1] - X[i], d2y = Y[i + 1] - Y[i];
    const bool d1_vanishes = std::fabs(d1x) < 1e-128 && std::fabs(d1y) < 1e-128;
    const bool d2_vanishes = std::fabs(d2x) < 1e-128 && std::fabs(d2y) < 1e-128;
    if (d1_vanishes || d2_vanishes) return 0.0;
    const double dot = d1x * d2x + d1y * d2y;
    const double length1 = std::sqrt(d1x * d1x + d1y * d1y);
    const double length2 = std::sqrt(d2x * d2x + d2y * d2y);
    const double cosine = dot / (length1 * length2);
    return std::acos(cosine) * 180.0 / PI;
}

}  // namespace

std::vector<double> regularisationAlphas(const RunSettings& settings) {
    std::vector<double> alphas;
    const double q = settings.sequence_quotient;
    if (!(settings.min_alpha > 0.0) || !(q > 1.0)) return alphas;
    for (double alpha = settings.min_alpha;
         alpha <= settings.max_alpha && alphas.size() < MAX_REGULARISATION_ALPHAS; alpha *= q)
        alphas.push_back(alpha);
    return alphas;
}

double chooseAlphaByLCurve(const std::vector<double>& X, const std::vector<double>& Y,
                           const std::vector<double>& alphas, double point_number, bool traced,
                           const RunSettings& settings, SolverNotes& notes) {
    const char sep = settings.decimal_separator;
    double chosen = 0.0;
    const std::size_t count = X.size();
    if (count > 0) {
        if (traced) {
            notes.trace +=
                "          POINT                      ALFA             LOG10  X-NORM       "
                "      LOG10  Y-NORM      ANGLE\n";
            notes.trace += format_c(sep, "L-Curve norms for point %lf\n", point_number);
        }
        std::vector<double> angle(count, 0.0);
        for (std::size_t i = 1; i + 1 < count; ++i) angle[i] = angleAt(X, Y, i);
        // NaN angles (from a zero norm) fail both bounds and are never candidates.
        double best = 1e38;
        std::size_t corner = 0;
        for (std::size_t i = 1; i + 1 < count; ++i) {
            if (angle[i] > 0.001 && angle[i] < 179.999 && std::fabs(angle[i] - 90.0) < best) {
                best = std::fabs(angle[i] - 90.0);
                corner = i;
            }
        }
        for (std::size_t j = 0; j < count; ++j) {
            if (traced)
                notes.trace += format_c(sep, "%15lf %25.12lf %25.12lf %25.12lf %10.3lf\n",
                                        point_number, alphas[j], X[j], Y[j], angle[j]);
        }
        chosen = alphas[corner];
    }
    if (traced) {
        notes.trace +=
            format_c(sep, "Calculated Regularization parameter for point %lf\n", point_number);
        notes.trace += format_c(sep, "%15lf %25.12lf\n\n", point_number, chosen);
    }
    return chosen;
}

double chooseAlphaByLCurve(const std::vector<double>& X, const std::vector<double>& Y,
                           double point_number, bool traced, const RunSettings& settings,
                           SolverNotes& notes) {
    // Without the solved alphas, row j is taken to hold min_alpha * q^j.
    std::vector<double> alphas;
    double alpha = settings.min_alpha;
    for (std::size_t j = 0; j < X.size(); ++j, alpha *= settings.sequence_quotient)
        alphas.push_back(alpha);
    return chooseAlphaByLCurve(X, Y, alphas, point_number, traced, settings, notes);
}
