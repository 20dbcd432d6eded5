#include "tree/numbers.h"

#include <charconv>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <system_error>

// Correctly rounded decimal-to-double conversion: the standard library's where it has one for
// double (the build checks), else the header-only library that several standard libraries use
// for theirs, else strtod.
#if defined(TAVRIN_HAVE_FROM_CHARS_DOUBLE)
#define TAVRIN_FROM_CHARS std::from_chars
#elif __has_include(<fast_float/fast_float.h>)
#include <fast_float/fast_float.h>
#define TAVRIN_FROM_CHARS fast_float::from_chars
#endif

namespace tavrin {
namespace {

// The decimal point of the C library's current locale ("." in the C locale). strtod and printf
// follow it; numbers in trees always use '.'.
const char* locale_decimal_point() {
    const char* point = std::localeconv()->decimal_point;
    return point != nullptr && point[0] != '\0' ? point : ".";
}

// strtod of a text made only of digits, at most one '.', and an exponent, whatever the locale.
double strtod_with_point(const char* first, const char* last) {
    std::string text(first, last);
    const char* point = locale_decimal_point();
    if (std::strcmp(point, ".") != 0) {
        const size_t dot = text.find('.');
        if (dot != std::string::npos) text.replace(dot, 1, point);
    }
    return std::strtod(text.c_str(), nullptr);
}

bool is_c_space(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

}  // namespace

double read_number(const char* first, const char* last) {
    while (first < last && is_c_space(*first))
        ++first;
    const char* p = number_end(first, last);
    if (p == first) return 0.0;
    const bool negative = *first == '-';
    const char* mantissa = first + (*first == '+' || *first == '-' ? 1 : 0);
    double value = 0;
#if defined(TAVRIN_FROM_CHARS)
    const auto result = TAVRIN_FROM_CHARS(mantissa, p, value);
    if (result.ec != std::errc() || result.ptr != p) {
        // Out of range: strtod gives what atof gives (infinity, or zero and subnormals).
        value = strtod_with_point(mantissa, p);
    }
#else
    value = strtod_with_point(mantissa, p);
#endif
    return negative ? -value : value;
}

bool read_finite_number(const char* first, const char* last, double& value) {
    while (first < last && is_c_space(*first))
        ++first;
    value = 0;
    if (number_end(first, last) == first) return false;
    value = read_number(first, last);
    if (std::isfinite(value)) return true;
    value = 0;
    return false;
}

void append_fixed(std::string& out, double value) {
    char buffer[400];  // the widest double takes 317 bytes in "%f"
#if defined(TAVRIN_HAVE_TO_CHARS_DOUBLE)
    if (std::isfinite(value)) {
        // to_chars rounds exactly like printf's "%f" (to nearest, ties to even), much faster.
        const auto result =
            std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 6);
        if (result.ec == std::errc()) {
            out.append(buffer, result.ptr);
            return;
        }
    }
#endif
    const size_t start = out.size();
    const int n = std::snprintf(buffer, sizeof buffer, "%f", value);
    if (n > 0 && static_cast<size_t>(n) < sizeof buffer) out.append(buffer, static_cast<size_t>(n));
    // printf writes the locale's decimal point; trees and reports use '.'.
    const char* point = locale_decimal_point();
    if (std::strcmp(point, ".") != 0) {
        const size_t at = out.find(point, start);
        if (at != std::string::npos) out.replace(at, std::strlen(point), ".");
    }
}

}  // namespace tavrin
