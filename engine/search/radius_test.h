#pragma once
// The test "distance > rho" of the fit, decided from dx^2 + dy^2 whenever that is far
// enough from rho^2 to leave no doubt, and by the distance itself otherwise: the answer
// is always the one horizontal_distance gives, only most calls of it are saved.

#include <cmath>
#include <limits>

#include "engine/search/distance.h"

class BeyondRadius {
public:
    // The margin 1e-9 dwarfs the few rounding errors in dx^2 + dy^2 and in the distance;
    // outside 1e-100 .. 1e100 (and for NaN) every test is made by the distance itself.
    explicit BeyondRadius(double rho) : rho_(rho) {
        if (rho >= 1e-100 && rho <= 1e100) {
            inside_ = rho * rho * (1.0 - 1e-9);
            outside_ = rho * rho * (1.0 + 1e-9);
        }
    }
    // horizontal_distance(dx, dy) > rho; false for a NaN distance, as that comparison is.
    bool operator()(double dx, double dy) const {
        const double square = dx * dx + dy * dy;
        if (square < inside_) return false;
        if (square > outside_) return true;
        return horizontal_distance(dx, dy) > rho_;
    }

private:
    double rho_;
    double inside_ = -std::numeric_limits<double>::infinity();
    double outside_ = std::numeric_limits<double>::infinity();
};
