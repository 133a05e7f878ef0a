#pragma once
// The negligibility test of the SVD, |x| + anorm == anorm with the sum in 80-bit extended
// precision (a 64-bit significand), in doubles alone, for vector lanes that have no
// extended precision.
//
// For a finite anorm > 0 with 2^e <= anorm < 2^(e+1), the numbers of a 64-bit significand
// next to anorm are anorm +- 2^(e-63) (above 2^e; the one below 2^e is nearer, but adding
// |x| >= 0 never goes below anorm). The sum rounds back to anorm exactly when
// |x| <= 2^(e-64): below half the gap it is nearer, and at half the gap the tie goes to
// the even significand, which anorm has (a double's significand, padded to 64 bits, ends
// in eleven zeros). So the test is |x| * 2^64 <= 2^e, where 2^e is anorm with its
// significand bits cleared; the product is exact (it only moves the exponent), and where
// it overflows |x| >= 2^960 exceeds every 2^(e-64) of a finite anorm. The same comparison
// holds at the edges:
//   - anorm 0 or subnormal: 2^e reads as 0 (no exponent bits), so only x = 0 passes, as
//     the sum of any other double exceeds anorm by far more than its own precision;
//   - anorm +inf: the cleared bits are +inf itself, and every x but NaN passes;
//   - x NaN: the comparison is false; anorm NaN: its cleared bits read as +inf, so the
//     test also asks anorm == anorm.
// anorm is a maximum of sums of absolute values, so it is never negative.

#include <cstdint>

inline constexpr double NEGLIGIBLE_SHIFT = 0x1p64;
inline constexpr std::uint64_t NEGLIGIBLE_EXPONENT_BITS = 0x7ff0000000000000u;
inline constexpr std::uint64_t NEGLIGIBLE_MAGNITUDE_BITS = 0x7fffffffffffffffu;

// |x| + anorm == anorm in 64-bit-significand arithmetic, for anorm >= 0, +inf or NaN.
bool negligible_in_doubles(double x, double anorm);
