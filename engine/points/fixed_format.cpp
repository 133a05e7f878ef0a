#include "engine/points/fixed_format.h"

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstring>
#include <cmath>
#include <cstdint>

#include "engine/points/number_text.h"

namespace {

// GCC and Clang on 64-bit targets; __extension__ keeps -Wpedantic quiet about it.
__extension__ typedef unsigned __int128 u128;

constexpr std::uint64_t POWERS_OF_TEN[] = {1,         10,         100,        1000,
                                           10000,     100000,     1000000,    10000000,
                                           100000000, 1000000000};

// The value times 10^precision, rounded to a whole number half to even, exactly: the
// double is m * 2^e with an integer m below 2^53, so the product fits 128 bits.
// False when |value| is 2^63 or more (the slow path writes those).
bool scaled_integer(double magnitude, int precision, u128& result) {
    if (!(magnitude < 9.2e18)) return false;
    // magnitude = mantissa / 2^shift, read from the bits (subnormals have no hidden bit).
    const auto bits = std::bit_cast<std::uint64_t>(magnitude);
    const int biased = static_cast<int>(bits >> 52);
    const std::uint64_t fraction = bits & ((std::uint64_t{1} << 52) - 1);
    const std::uint64_t mantissa = biased == 0 ? fraction : fraction | (std::uint64_t{1} << 52);
    const int shift = biased == 0 ? 1074 : 1075 - biased;
    const u128 product = static_cast<u128>(mantissa) * POWERS_OF_TEN[precision];
    if (mantissa == 0) {
        result = 0;
    } else if (shift <= 0) {
        result = product << -shift;
    } else if (shift >= 120) {
        result = 0;  // below 2^-67: far under half a unit of the last decimal
    } else {
        const u128 whole = product >> shift;
        const u128 rest = product - (whole << shift);
        const u128 half = static_cast<u128>(1) << (shift - 1);
        result = whole + ((rest > half || (rest == half && (whole & 1) != 0)) ? 1 : 0);
    }
    return true;
}

// The same rounding from a double product when that decides it. Rounding to nearest
// keeps order, and whole + 0.5 is a double below 2^52: a product above it comes from an
// exact product above it, one below from one below. Only a product on the tie itself
// leaves the exact one undecided. False then and from 2^52 on (the exact path takes
// those).
bool quick_scaled_integer(double magnitude, int precision, std::uint64_t& result) {
    const double product = magnitude * static_cast<double>(POWERS_OF_TEN[precision]);
    if (!(product < 0x1p52)) return false;
    const auto whole = static_cast<std::uint64_t>(product);
    const double fraction = product - static_cast<double>(whole);  // exact
    if (fraction == 0.5) return false;
    result = whole + (fraction > 0.5 ? 1 : 0);
    return true;
}

// "00" to "99", so that digits are made two at a time.
constexpr char DIGIT_PAIRS[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

// Writes the last `decimals` digits of value and the separator before p (nothing when
// decimals is 0); returns the new start and leaves the digits before them in value.
// Only constant divisors: a division by 10^decimals would cost more than all the rest.
char* write_decimals(std::uint64_t& value, int decimals, char separator, char* p) {
    int d = 0;
    for (; d + 2 <= decimals; d += 2) {
        const std::uint64_t pair = value % 100;
        value /= 100;
        p -= 2;
        p[0] = DIGIT_PAIRS[2 * pair];
        p[1] = DIGIT_PAIRS[2 * pair + 1];
    }
    if (d < decimals) {
        *--p = static_cast<char>('0' + value % 10);
        value /= 10;
    }
    if (decimals > 0) *--p = separator;
    return p;
}

// Writes the digits of value (at least one) before p; returns the new start.
char* write_whole(std::uint64_t value, char* p) {
    while (value >= 100) {
        const std::uint64_t pair = value % 100;
        value /= 100;
        p -= 2;
        p[0] = DIGIT_PAIRS[2 * pair];
        p[1] = DIGIT_PAIRS[2 * pair + 1];
    }
    if (value >= 10) {
        p -= 2;
        p[0] = DIGIT_PAIRS[2 * value];
        p[1] = DIGIT_PAIRS[2 * value + 1];
    } else {
        *--p = static_cast<char>('0' + value);
    }
    return p;
}

}  // namespace

char* write_fixed(char* at, double value, int width, int precision, char decimal_separator) {
    if (!std::isfinite(value) || precision < 0 || precision > 9 || width > FIXED_FIELD_MAX)
        return nullptr;
    const double magnitude = std::fabs(value);
    u128 scaled = 0;
    std::uint64_t quick = 0;
    if (quick_scaled_integer(magnitude, precision, quick))
        scaled = quick;
    else if (!scaled_integer(magnitude, precision, scaled))
        return nullptr;
    // The field right-aligned before `end`, digits from the last one backwards: the
    // decimals, the separator, the whole part, the sign (at most 30 characters), with
    // FIXED_FIELD_MAX spaces before and after it for the fixed-size copy below.
    char text[3 * FIXED_FIELD_MAX];
    char* const end = text + 2 * FIXED_FIELD_MAX;
    char* p = end;
    if (scaled <= UINT64_MAX) {
        auto small = static_cast<std::uint64_t>(scaled);
        p = write_decimals(small, precision, decimal_separator, p);
        p = write_whole(small, p);
    } else {
        const std::uint64_t unit = POWERS_OF_TEN[precision];
        auto decimals = static_cast<std::uint64_t>(scaled % unit);
        p = write_decimals(decimals, precision, decimal_separator, p);
        p = write_whole(static_cast<std::uint64_t>(scaled / unit), p);
    }
    // printf writes the sign of every negative double, -0.0 and values rounding to 0
    // included.
    if (std::signbit(value)) *--p = '-';
    std::memset(p - FIXED_FIELD_MAX, ' ', FIXED_FIELD_MAX);
    std::memset(end, ' ', FIXED_FIELD_MAX);
    const std::ptrdiff_t length = std::max<std::ptrdiff_t>(end - p, width);
    // A fixed-size copy, cheaper than one of the field's own length; the spaces past the
    // field are the caller's to overwrite.
    std::memcpy(at, end - length, FIXED_FIELD_MAX);
    return at + length;
}

void append_fixed(std::string& out, double value, int width, int precision,
                  char decimal_separator) {
    char field[FIXED_FIELD_MAX];
    if (const char* end = write_fixed(field, value, width, precision, decimal_separator))
        out.append(field, static_cast<std::size_t>(end - field));
    else
        out += format_c(decimal_separator, "%*.*f", width, precision, value);
}
