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
    // Counted from the first digit other than 0 on, whatever `digits` holds then: past 19
    // digits it may wrap, to 0 itself for a multiple of 2^64.
    bool counting = false;
    for (; p < last && is_digit(*p); ++p) {
        digits = digits * 10 + static_cast<uint64_t>(*p - '0');
        counting = counting || *p != '0';
        count += counting;
    }
    bool any = p != first;
    if (p < last && *p == '.') {
        const char* fraction = ++p;
        for (; p < last && is_digit(*p); ++p) {
            digits = digits * 10 + static_cast<uint64_t>(*p - '0');
            counting = counting || *p != '0';
            count += counting;
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

#if defined(FLT_EVAL_METHOD) && FLT_EVAL_METHOD == 0 && LDBL_MANT_DIG == 64 && \
    (defined(__x86_64__) || defined(__i386__))
#define TAVRIN_LONG_DECIMALS 1

// Powers of ten that long double holds exactly (its significand has 64 bits).
constexpr long double kLongPowers[] = {1e0L,  1e1L,  1e2L,  1e3L,  1e4L,  1e5L,  1e6L,
                                       1e7L,  1e8L,  1e9L,  1e10L, 1e11L, 1e12L, 1e13L,
                                       1e14L, 1e15L, 1e16L, 1e17L, 1e18L, 1e19L, 1e20L,
                                       1e21L, 1e22L, 1e23L, 1e24L, 1e25L, 1e26L, 1e27L};

// The double nearest to `q`, a long double (the x87 format: its first eight bytes hold the 64-bit
// significand) rounded once from a decimal: right unless `q` lies exactly halfway between two
// doubles (then the decimal may lie on either side of that point, and `false` sends it to the
// general conversion).
bool nearest_double(long double q, double& value) {
    uint64_t significand = 0;
    std::memcpy(&significand, &q, sizeof significand);
    if ((significand & 0x7FF) == 0x400) return false;  // the 11 bits a double drops: one half
    value = static_cast<double>(q);
    return true;
}

// Decimals without exponent with more digits than read_in_one_step takes, as phylogeny programs
// write branch lengths ("0.02287457930331759925"), read from `first` (after the sign). Their
// first 19 significant digits make an integer m that the 64-bit significand of long double
// holds, and a power of ten up to 10^27 is held exactly too: m / 10^k is rounded once, to 64
// bits, and rounding that to double gives the correctly rounded double but at an exact halfway
// point. A decimal with more digits lies between m / 10^k and (m + 1) / 10^k: when both give
// the same double, so does the decimal. Answers the end of the number, or null for anything
// else (exponents, larger or smaller scales, halfway points, zero), left to the general path.
const char* read_long_decimal(const char* first, const char* last, double& value) {
    uint64_t m = 0;
    int taken = 0;          // significant digits in m
    long scale = 0;         // the value is m / 10^scale
    bool left_out = false;  // a digit other than 0 after the nineteenth
    // Takes the digit `d` into m while it is among the nineteen (a leading zero is not
    // significant); answers false for one past them.
    auto take = [&](unsigned d) {
        if (taken >= 19) {
            left_out = left_out || d != 0;
            return false;
        }
        if (m != 0 || d != 0) {
            m = m * 10 + d;
            ++taken;
        }
        return true;
    };
    const char* p = first;
    for (unsigned d; p != last && (d = static_cast<unsigned char>(*p) - 48u) < 10; ++p) {
        if (!take(d)) --scale;  // an integer digit left out: ten times more
    }
    if (p != last && *p == '.') {
        ++p;
        if (m == 0) {
            for (; p != last && *p == '0'; ++p)  // zeros before the first significant digit
                ++scale;
        }
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
        // Four digits a round while they fit in the nineteen: each one significant, since the
        // first of them is not a leading zero. As scan_number takes them.
        for (uint32_t word; taken <= 15 && last - p >= 4; p += 4) {
            std::memcpy(&word, p, sizeof word);
            if (!four_digits(word)) break;
            m = m * 10000 + four_digits_value(word);
            taken += 4;
            scale += 4;
        }
#endif
        for (unsigned d; p != last && (d = static_cast<unsigned char>(*p) - 48u) < 10; ++p) {
            if (take(d)) ++scale;
        }
    }
    if (p != last && (*p == 'e' || *p == 'E')) return nullptr;  // perhaps an exponent
    if (m == 0 || scale < 0 || scale > 27) return nullptr;
    const long double power = kLongPowers[scale];
    double low = 0, high = 0;
    if (!nearest_double(static_cast<long double>(m) / power, low)) return nullptr;
    if (left_out && (!nearest_double(static_cast<long double>(m + 1) / power, high) || high != low))
        return nullptr;
    value = low;
    return p;
}
#endif

}  // namespace

bool read_wide_decimal(uint64_t digits, long scale, double& value) {
#if defined(TAVRIN_LONG_DECIMALS)
    // As read_long_decimal reads a decimal whose digits after the nineteenth are all absent.
    if (digits == 0 || scale < 0 || scale > 27) return false;
    return nearest_double(static_cast<long double>(digits) / kLongPowers[scale], value);
#else
    (void)digits;
    (void)scale;
    (void)value;
    return false;
#endif
}

const char* scan_number_general(const char* first, const char* last, double& value) {
    const char* const start = first;
    value = 0;
    while (first < last && is_c_space(*first))
        ++first;
    const bool negative = first < last && *first == '-';
    const char* mantissa = first + (first < last && (*first == '+' || *first == '-') ? 1 : 0);
    const char* p = mantissa;
#if defined(TAVRIN_LONG_DECIMALS)
    if (const char* end = read_long_decimal(mantissa, last, value)) {
        if (negative) value = -value;
        return end;
    }
#endif
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
