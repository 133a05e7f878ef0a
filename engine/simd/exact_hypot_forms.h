#pragma once
// The array forms of the hypot lanes, one per instruction set, each in a file compiled
// for its set; exact_hypot chooses among them.

#include <cstddef>

void exact_hypot_sse2(const double* dx, const double* dy, double* d, std::size_t n);
void exact_hypot_avx2(const double* dx, const double* dy, double* d, std::size_t n);
void exact_hypot_avx512(const double* dx, const double* dy, double* d, std::size_t n);
