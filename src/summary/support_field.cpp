#include "summary/support_field.h"

#include <cmath>
#include <string>

#include "tree/numbers.h"

namespace tavrin::summary {

namespace {

// True when `text` is [+-]? (digits [. digits?] | . digits) ([eE] [+-]? digits)?
bool is_decimal(std::string_view text) {
    std::size_t at = 0;
    const auto skip_sign = [&] {
        if (at < text.size() && (text[at] == '+' || text[at] == '-')) ++at;
    };
    const auto skip_digits = [&] {
        const std::size_t from = at;
        while (at < text.size() && tavrin::is_digit(text[at]))
            ++at;
        return at - from;
    };
    skip_sign();
    std::size_t digits = skip_digits();
    if (at < text.size() && text[at] == '.') {
        ++at;
        digits += skip_digits();
    }
    if (digits == 0) return false;
    if (at < text.size() && (text[at] == 'e' || text[at] == 'E')) {
        ++at;
        skip_sign();
        if (skip_digits() == 0) return false;
    }
    return at == text.size();
}

// A field shown in a message: quoted, and cut when it is long.
std::string shown(std::string_view text) {
    constexpr std::size_t kLongest = 40;
    std::string out = "'";
    out.append(text.substr(0, kLongest));
    if (text.size() > kLongest) out.append("...");
    out.push_back('\'');
    return out;
}

enum class Parsed { kNumber, kNotANumber, kInvalid, kOutOfRange };

Parsed parse_decimal(std::string_view text, double& value) {
    const bool signed_text = !text.empty() && (text[0] == '+' || text[0] == '-');
    const std::string_view magnitude = text.substr(signed_text ? 1 : 0);
    if (magnitude == "nan") return Parsed::kNotANumber;
    if (magnitude == "inf") {
        value = text[0] == '-' ? -HUGE_VAL : HUGE_VAL;
        return Parsed::kNumber;
    }
    if (!is_decimal(text)) return Parsed::kInvalid;
    // The grammar is checked above, so the number read is the whole text, with '.' as its
    // decimal point whatever the locale. Only an overflow reads as infinity here; an underflow
    // reads as the nearest double, 0 at worst.
    value = tavrin::read_number(text.data(), text.data() + text.size());
    return std::isinf(value) ? Parsed::kOutOfRange : Parsed::kNumber;
}

}  // namespace

bool parse_support(std::string_view text, Support& support, std::string& problem) {
    support = Support{};
    if (text == "n/a") return true;
    if (text.empty()) {
        problem = "empty support (a number or n/a expected)";
        return false;
    }
    const Parsed parsed = parse_decimal(text, support.value);
    support.numeric = parsed == Parsed::kNumber;
    if (parsed == Parsed::kNumber || parsed == Parsed::kNotANumber) return true;
    problem = "support " + shown(text) +
              (parsed == Parsed::kOutOfRange ? " is out of range" : " is neither a number nor n/a");
    return false;
}

bool parse_number(std::string_view text, double& value) {
    return parse_decimal(text, value) == Parsed::kNumber;
}

}  // namespace tavrin::summary
