#include "engine/solvers/negligible_sum.h"

#include <bit>
#include <cmath>

bool negligible_in_doubles(double x, double anorm) {
    const double binade =
        std::bit_cast<double>(std::bit_cast<std::uint64_t>(anorm) & NEGLIGIBLE_EXPONENT_BITS);
    return std::fabs(x) * NEGLIGIBLE_SHIFT <= binade && anorm == anorm;
}
