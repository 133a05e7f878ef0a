#pragma once
// The one horizontal distance of the calculation: the N-nearest search and the fit use
// this same function, so a point that the search counts within R_N is one the fit takes.

#include <cmath>

// sqrt(dx^2 + dy^2) without intermediate overflow or underflow; heights play no part.
inline double horizontal_distance(double dx, double dy) { return std::hypot(dx, dy); }
