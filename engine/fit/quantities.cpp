#include "engine/fit/quantities.h"

#include <cmath>
#include <limits>

#include "engine/fit/trend_model.h"

namespace {

// The square roots of sums of squares are taken as written, sqrt(a*a + b*b), which is
// what every result file holds. Where the squares leave the range of doubles (gradients
// beyond about 1e154, from fits on coordinates of that order, or all below about
// 1e-154) that form gives inf or 0 for a finite, nonzero root: there alone the root is
// taken by hypot, which needs no squares. The squares are summed left to right, as the
// formulas write them.
template <class... Legs>
double root_of_squares(Legs... legs) {
    const double root = std::sqrt((... + (legs * legs)));
    const bool in_range = root >= 0x1p-511 && root <= std::numeric_limits<double>::max();
    if (in_range || !(std::isfinite(legs) && ...)) return root;
    return std::hypot(legs...);
}

// atan of the one-argument form keeps TILT within -pi/2..pi/2. A vanishing horizontal
// gradient gives +-pi/2 through IEEE division; when both gradients vanish the angle is
// undefined and 0 is written, so that every row stays a number a later load can read.
double tilt_of(double vgga, double hgga) {
    if (hgga == 0.0 && vgga == 0.0) return 0.0;
    return std::atan(vgga / hgga);
}

void derive_planar(const double* c, PointQuantities& q) {
    q.HGGAX = c[0];
    q.HGGAY = c[1];
    q.HGGA = std::hypot(c[0], c[1]);
    q.VGGA = c[2];
    q.ASIG = root_of_squares(q.HGGA, q.VGGA);
    q.TILT = tilt_of(q.VGGA, q.HGGA);
}

void derive_cross_terms(const double* c, PointQuantities& q) {
    q.HGGA = std::hypot(c[0], c[1]);
    q.VGGA = root_of_squares(c[2], c[3], c[4]);
    q.TILT = tilt_of(q.VGGA, q.HGGA);
}

}  // namespace

double quantity_value(Quantity quantity, const double* c, const PointQuantities& q) {
    switch (quantity) {
        case Quantity::Unwritten:
        case Quantity::Zero: return 0.0;
        case Quantity::HGGAX: return q.HGGAX;
        case Quantity::HGGAY: return q.HGGAY;
        case Quantity::HGGA: return q.HGGA;
        case Quantity::VGGA: return q.VGGA;
        case Quantity::RGA: return q.RGA;
        case Quantity::LGA: return q.LGA;
        case Quantity::ASIG: return q.ASIG;
        case Quantity::TILT: return q.TILT;
        default: return c[coefficient_index(quantity)];
    }
}

PointQuantities deriveRegional(Tendency tendency, const double* c, double u0) {
    const TrendModel& model = trend_model(tendency);
    PointQuantities q;
    if (model.regional >= 0) {
        q.RGA = c[model.regional];
        q.LGA = u0 - q.RGA;
    }
    return q;
}

PointQuantities deriveQuantities(Tendency tendency, const double* c, double u0) {
    PointQuantities q = deriveRegional(tendency, c, u0);
    switch (trend_model(tendency).gradients) {
        case Gradients::None: break;
        case Gradients::Planar: derive_planar(c, q); break;
        case Gradients::CrossTerms: derive_cross_terms(c, q); break;
    }
    return q;
}

void storeQuantities(Tendency tendency, bool last_pass, const double* c,
                     const PointQuantities& q, WorkPoint& point) {
    const TrendModel& model = trend_model(tendency);
    double* v = point.value;
    if (!last_pass) {
        // Earlier passes keep only what the correction of the next pass reads.
        if (model.earlier_lga < 0) return;
        v[model.earlier_rga] = q.RGA;
        v[model.earlier_lga] = q.LGA;
        return;
    }
    for (std::size_t i = 0; i < model.stored.size(); ++i) {
        if (model.stored[i] == Quantity::Unwritten) continue;
        v[work::hggax + static_cast<int>(i)] = quantity_value(model.stored[i], c, q);
    }
}
