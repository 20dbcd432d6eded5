#include "summary/support_field.h"

#include <cmath>
#include <string>

#include "tree/numbers.h"

namespace tavrin::summary {

namespace {

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
    const char* const end = text.data() + text.size();
    if (text.empty() || tavrin::number_end(text.data(), end) != end) return Parsed::kInvalid;
    // The grammar is checked above, so the number read is the whole text, with '.' as its
    // decimal point whatever the locale. Only an overflow reads as infinity here; an underflow
    // reads as the nearest double, 0 at worst.
    value = tavrin::read_number(text.data(), end);
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
