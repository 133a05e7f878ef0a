#pragma once
// Number text: reading numbers typed or stored with the decimal separator in force, and
// the general format the window shows them in. No global locale is consulted: the
// separator is passed in.

#include <cstdarg>
#include <optional>
#include <string>
#include <string_view>

// The whole text must be a finite decimal number ("12a", "1e999", "nan", "" are not);
// exponent forms such as 1.5E3 are accepted, so is a leading sign.
std::optional<double> parse_double(std::string_view text, char decimal_separator);

// The whole text must be a decimal integer within int's range.
std::optional<int> parse_int(std::string_view text);

// General format, up to 15 significant digits, no trailing zeros: "17", "17.5",
// "1E-10", "10000000000", "0.01".
std::string format_general(double value, char decimal_separator);

// printf-style formatting as in the "C" locale, with every '.' of the result replaced
// by decimal_separator; only for formats whose fixed text holds no '.'.
std::string format_c(char decimal_separator, const char* format, ...)
    __attribute__((format(printf, 2, 3)));
