#include "tree/numbers.h"

#include <locale.h>

#include <cstdio>
#include <cstdlib>
#include <string>

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
