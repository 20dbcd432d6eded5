#include "tree/numbers.h"

#include <locale.h>

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <system_error>

namespace tavrin {
namespace {

// The C locale, created once: numbers use '.' whatever locale the host program selected.
locale_t c_locale() {
    static const locale_t loc = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    return loc;
}

bool is_c_space(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool is_digit(char c) {
    return c >= '0' && c <= '9';
}

}  // namespace

double read_number(const char* first, const char* last) {
    // The number is the longest prefix of the form: optional sign, digits with at most one
    // decimal point (at least one digit), optional exponent. Words such as "inf" or "nan" and
    // hexadecimal forms are not numbers here: a leaf named Nanoarchaeum must not get a NaN length.
    while (first < last && is_c_space(*first))
        ++first;
    const char* p = first;
    bool negative = false;
    if (p < last && (*p == '+' || *p == '-')) negative = *p++ == '-';
    const char* mantissa = p;
    size_t digits = 0;
    while (p < last && is_digit(*p))
        ++p, ++digits;
    if (p < last && *p == '.') {
        ++p;
        while (p < last && is_digit(*p))
            ++p, ++digits;
    }
    if (digits == 0) return 0.0;
    if (p < last && (*p == 'e' || *p == 'E')) {
        const char* e = p + 1;
        if (e < last && (*e == '+' || *e == '-')) ++e;
        if (e < last && is_digit(*e)) {
            while (e < last && is_digit(*e))
                ++e;
            p = e;
        }
    }
    double value = 0;
    const auto result = std::from_chars(mantissa, p, value);
    if (result.ec != std::errc()) {
        // Out of range: strtod gives what atof gives (infinity, or zero and subnormals).
        const std::string text(mantissa, p);
        value = strtod_l(text.c_str(), nullptr, c_locale());
    }
    return negative ? -value : value;
}

void append_fixed(std::string& out, double value) {
    if (std::isfinite(value)) {
        // to_chars rounds exactly like printf's "%f" (to nearest, ties to even), much faster.
        char buffer[400];  // the widest finite double in fixed notation with six decimals
        const auto result =
            std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 6);
        if (result.ec == std::errc()) {
            out.append(buffer, result.ptr);
            return;
        }
    }
    locale_t previous = uselocale(c_locale());
    char small[64];
    const int n = std::snprintf(small, sizeof small, "%f", value);
    if (n >= 0 && static_cast<size_t>(n) < sizeof small) {
        out.append(small, static_cast<size_t>(n));
    } else if (n > 0) {
        // Large magnitudes need up to a few hundred characters.
        const size_t start = out.size();
        out.resize(start + static_cast<size_t>(n) + 1);
        std::snprintf(&out[start], static_cast<size_t>(n) + 1, "%f", value);
        out.resize(start + static_cast<size_t>(n));
    }
    uselocale(previous);
}

}  // namespace tavrin
