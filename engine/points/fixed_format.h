#pragma once
// printf's "%W.Plf" without printf: the result rows hold millions of such fields, and
// the C library's formatting (arbitrary-precision digit generation, locale switching)
// would cost more than the fit itself. The digits are the exact decimal rounding of the
// double, half to even as glibc rounds, so the bytes are printf's.

#include <string>

// The widest field write_fixed writes; the longest number it takes has 30 characters (a
// sign, 19 whole digits, the separator and 9 decimals).
inline constexpr int FIXED_FIELD_MAX = 32;

// Writes value as std::snprintf(.., "%W.Plf", value) writes it in the "C" locale, with
// the '.' replaced by decimal_separator, at `at`, and returns the end of the field. It
// always stores FIXED_FIELD_MAX bytes: room for them is the caller's, and the spaces past
// the field are left to be overwritten. nullptr, with nothing written, for what only the
// C library writes here: non-finite values, magnitudes of 2^63 and more, widths above
// FIXED_FIELD_MAX and precisions outside 0..9.
char* write_fixed(char* at, double value, int width, int precision, char decimal_separator);

// Appends value as std::snprintf(.., "%W.Plf", value) writes it in the "C" locale, with
// the '.' replaced by decimal_separator: through write_fixed where it can, through the C
// library otherwise.
void append_fixed(std::string& out, double value, int width, int precision,
                  char decimal_separator);
