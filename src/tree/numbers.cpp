#include "tree/numbers.h"

#include <cfloat>
#include <charconv>
#include <clocale>
#include <cmath>
#include <cstddef>
#include <cstdint>
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

// Powers of ten that a double holds exactly.
constexpr double kExactPowers[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                   1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                   1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

// Reads the unsigned number at `first` (digits, at most one '.', an optional exponent, as
// number_end delimits it) in one pass when one operation gives it exactly rounded: its digits
// make an integer of at most 2^53 and its power of ten lies within 10^22 either way, so both are
// exact doubles and their product or quotient is rounded once, as a correctly rounded conversion
// rounds the number. Sets `end` past the number in any case (`first` when there is none) and
// answers false when the value needs the general conversion (more digits, larger exponents).
bool read_in_one_step(const char* first, const char* last, const char*& end, double& value) {
    uint64_t digits = 0;
    int count = 0;             // digits taken into `digits`, leading zeros left out
    std::ptrdiff_t scale = 0;  // digits after the point
    const char* p = first;
    for (; p < last && is_digit(*p); ++p) {
        digits = digits * 10 + static_cast<uint64_t>(*p - '0');
        count += digits != 0;
    }
    bool any = p != first;
    if (p < last && *p == '.') {
        const char* fraction = ++p;
        for (; p < last && is_digit(*p); ++p) {
            digits = digits * 10 + static_cast<uint64_t>(*p - '0');
            count += digits != 0;
        }
        scale = p - fraction;
        any = any || p != fraction;
    }
    if (!any) {
        end = first;
        return false;
    }
    int exponent = 0;
    bool exponent_fits = true;
    if (p < last && (*p == 'e' || *p == 'E')) {
        const char* e = p + 1;
        const bool negative = e < last && *e == '-';
        if (e < last && (*e == '+' || *e == '-')) ++e;
        if (e < last && is_digit(*e)) {
            for (; e < last && is_digit(*e); ++e) {
                if (exponent < 1000)
                    exponent = exponent * 10 + (*e - '0');
                else
                    exponent_fits = false;
            }
            if (negative) exponent = -exponent;
            p = e;
        }
    }
    end = p;
    // 19 digits never overflow; 2^53 and below are exact doubles.
    if (count > 19 || digits > (uint64_t{1} << 53) || !exponent_fits) return false;
    if (digits == 0) {
        value = 0;
        return true;
    }
    if (scale > 1000) return false;
    const int power = exponent - static_cast<int>(scale);
    if (power < -22 || power > 22) return false;
    const double mantissa = static_cast<double>(digits);
    value = power < 0 ? mantissa / kExactPowers[-power] : mantissa * kExactPowers[power];
    return true;
}

}  // namespace

const char* scan_number_general(const char* first, const char* last, double& value) {
    const char* const start = first;
    value = 0;
    while (first < last && is_c_space(*first))
        ++first;
    const bool negative = first < last && *first == '-';
    const char* mantissa = first + (first < last && (*first == '+' || *first == '-') ? 1 : 0);
    const char* p = mantissa;
#if defined(FLT_EVAL_METHOD) && FLT_EVAL_METHOD == 0
    if (read_in_one_step(mantissa, last, p, value)) {
        if (negative) value = -value;
        return p;
    }
    if (p == mantissa) return start;
#else
    p = number_end(first, last);
    if (p == first) return start;
#endif
#if defined(TAVRIN_FROM_CHARS)
    const auto result = TAVRIN_FROM_CHARS(mantissa, p, value);
    if (result.ec != std::errc() || result.ptr != p) {
        // Out of range: strtod gives what atof gives (infinity, or zero and subnormals).
        value = strtod_with_point(mantissa, p);
    }
#else
    value = strtod_with_point(mantissa, p);
#endif
    if (negative) value = -value;
    return p;
}

double read_number(const char* first, const char* last) {
    double value = 0;
    scan_number(first, last, value);
    return value;
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
