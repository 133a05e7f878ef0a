#pragma once
// printf's "%W.Plf" without printf: the result rows hold millions of such fields, and
// the C library's formatting (arbitrary-precision digit generation, locale switching)
// would cost more than the fit itself. The digits are the exact decimal rounding of the
// double, half to even as glibc rounds, so the bytes are printf's.

#include <string>

// Appends value as std::snprintf(.., "%W.Plf", value) writes it in the "C" locale
// (width 0..32, precision 0..9), with the '.' replaced by decimal_separator.
void append_fixed(std::string& out, double value, int width, int precision,
                  char decimal_separator);
