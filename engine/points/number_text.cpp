#include "engine/points/number_text.h"

#include <charconv>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <locale.h>
#include <vector>

namespace {

// std::from_chars neither skips blanks nor takes a leading '+'. Under another separator
// the text is copied with that separator mapped to '.', so that "12,5" reads as 12.5; a
// '.' is then no decimal point and the text is refused.
std::optional<double> to_double(std::string_view text, char decimal_separator) {
    if (text.empty()) return std::nullopt;
    std::string mapped;
    if (decimal_separator != '.') {
        mapped.assign(text);
        for (char& c : mapped) {
            if (c == '.') return std::nullopt;
            if (c == decimal_separator) c = '.';
        }
        text = mapped;
    }
    const char* first = text.data();
    const char* last = first + text.size();
    if (*first == '+') {
        ++first;
        if (first == last || *first == '-' || *first == '+') return std::nullopt;
    }
    double value = 0.0;
    auto [end, error] = std::from_chars(first, last, value, std::chars_format::general);
    if (error != std::errc() || end != last || !std::isfinite(value)) return std::nullopt;
    return value;
}

locale_t c_locale() {
    static locale_t locale = newlocale(LC_ALL_MASK, "C", nullptr);
    return locale;
}

}  // namespace

std::optional<double> parse_double(std::string_view text, char decimal_separator) {
    return to_double(text, decimal_separator);
}

std::optional<int> parse_int(std::string_view text) {
    if (text.empty()) return std::nullopt;
    const char* first = text.data();
    const char* last = first + text.size();
    if (*first == '+') {
        ++first;
        if (first == last || *first == '-') return std::nullopt;
    }
    int value = 0;
    auto [end, error] = std::from_chars(first, last, value, 10);
    if (error != std::errc() || end != last) return std::nullopt;
    return value;
}

std::string format_c(char decimal_separator, const char* format, ...) {
    locale_t previous = uselocale(c_locale());
    va_list args;
    va_start(args, format);
    va_list again;
    va_copy(again, args);
    char small[256];
    int length = std::vsnprintf(small, sizeof small, format, args);
    va_end(args);
    std::string text;
    if (length >= 0 && static_cast<std::size_t>(length) < sizeof small) {
        text.assign(small, static_cast<std::size_t>(length));
    } else if (length >= 0) {
        std::vector<char> big(static_cast<std::size_t>(length) + 1);
        std::vsnprintf(big.data(), big.size(), format, again);
        text.assign(big.data(), static_cast<std::size_t>(length));
    }
    va_end(again);
    uselocale(previous);
    if (decimal_separator != '.') {
        for (char& c : text)
            if (c == '.') c = decimal_separator;
    }
    return text;
}

std::string format_general(double value, char decimal_separator) {
    // %.15G, then the exponent written as the window shows it: "1E-10", "1E20".
    std::string text = format_c('.', "%.15G", value);
    std::size_t e = text.find('E');
    if (e != std::string::npos) {
        std::string mantissa = text.substr(0, e);
        std::string exponent = text.substr(e + 1);
        bool negative = !exponent.empty() && exponent[0] == '-';
        std::size_t digits = exponent.find_first_not_of("+-");
        std::size_t nonzero = exponent.find_first_not_of('0', digits);
        exponent = nonzero == std::string::npos ? "0" : exponent.substr(nonzero);
        text = mantissa + "E" + (negative ? "-" : "") + exponent;
    }
    if (decimal_separator != '.') {
        for (char& c : text)
            if (c == '.') c = decimal_separator;
    }
    return text;
}
