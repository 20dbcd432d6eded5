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

// Characters that can occur in a number as strtod reads it: digits, signs, the point, exponent
// and hex digits, and the words inf, infinity and nan with an optional "(chars)" payload.
bool may_continue_number(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '.' ||
           c == '+' || c == '-' || c == '_' || c == '(' || c == ')';
}

}  // namespace

double read_number(const char* first, const char* last) {
    while (first < last && is_c_space(*first))
        ++first;
    const char* end = first;
    while (end < last && may_continue_number(*end))
        ++end;
    if (end == first) return 0.0;
    // Plain decimal numbers (the usual case) are read by from_chars, which rounds exactly as
    // strtod does. Hex floats, inf/nan words, a leading '+' and out-of-range values go to strtod.
    if (*first != '+') {
        bool plain = true;
        for (const char* c = first; c < end && plain; ++c) {
            plain = (*c >= '0' && *c <= '9') || *c == '.' || *c == 'e' || *c == 'E' ||
                    *c == '-' || *c == '+';
        }
        if (plain) {
            double value = 0;
            const auto result = std::from_chars(first, end, value);
            if (result.ec == std::errc()) return value;
            if (result.ec == std::errc::invalid_argument) return 0.0;
        }
    }
    // strtod needs a terminated string; copy only the candidate characters.
    char small[64];
    std::string big;
    const char* text;
    const size_t n = static_cast<size_t>(end - first);
    if (n < sizeof small) {
        for (size_t i = 0; i < n; ++i)
            small[i] = first[i];
        small[n] = '\0';
        text = small;
    } else {
        big.assign(first, n);
        text = big.c_str();
    }
    return strtod_l(text, nullptr, c_locale());
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
