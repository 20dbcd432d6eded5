#include "draw/measure.h"

#include <array>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <iomanip>
#include <locale>
#include <sstream>

#include "tree/numbers.h"

namespace tavrin {

namespace {

// Widths of the printable ASCII characters, from the space on, in thousandths of an em: the
// wider of Helvetica's and DejaVu Sans', as browsers and renderers pick either for sans-serif.
constexpr std::array<unsigned short, 95> kAsciiWidths = {
    318,  401, 460, 838, 636, 950, 780, 275, 390, 390, 500, 838, 318, 361, 318, 337,  // ' '../
    636,  636, 636, 636, 636, 636, 636, 636, 636, 636, 337, 337, 838, 838, 838, 531,  // 0..?
    1015, 684, 686, 722, 770, 667, 611, 778, 752, 295, 500, 667, 557, 863, 748, 787,  // @..O
    667,  787, 722, 667, 611, 732, 684, 989, 685, 667, 685, 390, 337, 390, 838, 556,  // P.._
    333,  613, 635, 550, 635, 615, 352, 635, 634, 278, 278, 579, 278, 974, 634, 612,  // `..o
    635,  635, 411, 521, 392, 634, 592, 818, 592, 592, 525, 636, 337, 636, 838,       // p..~
};

constexpr double kEllipsisWidth = 1000;  // thousandths of an em
constexpr double kBoldFactor = 1.1;

}  // namespace

double text_width(std::string_view text, double size, bool bold, std::size_t max_chars) {
    double thousandths = 0;
    std::size_t chars = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if ((byte & 0xC0) == 0x80) continue;  // inside a character
        if (chars++ == max_chars) {
            thousandths += kEllipsisWidth;
            break;
        }
        thousandths += byte >= 0x20 && byte < 0x7F ? kAsciiWidths[byte - 0x20] : 1000;
    }
    return thousandths * size / 1000 * (bold ? kBoldFactor : 1.0);
}

namespace {

// The fewest significant digits of `value` (finite, not 0) that read back the same, in the form
// d.ddde+xx.
std::string shortest_scientific(double value) {
#if defined(TAVRIN_HAVE_TO_CHARS_SHORTEST)
    char buffer[64];
    const std::to_chars_result written =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific);
    return std::string(buffer, written.ptr);
#else
    // Digit counts tried one after another, with one stream per thread for all of them.
    thread_local std::ostringstream out = [] {
        std::ostringstream stream;
        stream.imbue(std::locale::classic());
        stream << std::scientific;
        return stream;
    }();
    std::string text;
    for (int digits = 1; digits <= 17; ++digits) {
        out.str("");
        out << std::setprecision(digits - 1) << value;
        text = out.str();
        if (read_number(text.data(), text.data() + text.size()) == value) break;
    }
    return text;
#endif
}

}  // namespace

std::string shortest_decimal(double value) {
    if (std::isnan(value)) return "nan";
    if (std::isinf(value)) return value < 0 ? "-inf" : "inf";
    if (value == 0) return "0";
    const std::string text = shortest_scientific(value);
    const bool negative = text[0] == '-';
    const std::size_t e = text.find('e');
    std::string digits;
    for (std::size_t i = negative ? 1 : 0; i < e; ++i) {
        if (is_digit(text[i])) digits += text[i];
    }
    while (digits.size() > 1 && digits.back() == '0')
        digits.pop_back();
    const long exponent = std::strtol(text.c_str() + e + 1, nullptr, 10);
    const auto count = static_cast<long>(digits.size());
    std::string shown = negative ? "-" : "";
    if (exponent < -7 || exponent >= 21) {
        shown += digits.substr(0, 1) + (count > 1 ? "." + digits.substr(1) : "") + text.substr(e);
    } else if (exponent < 0) {
        shown += "0." + std::string(static_cast<std::size_t>(-exponent - 1), '0') + digits;
    } else if (exponent + 1 >= count) {
        shown += digits + std::string(static_cast<std::size_t>(exponent + 1 - count), '0');
    } else {
        const auto point = static_cast<std::size_t>(exponent + 1);
        shown += digits.substr(0, point) + "." + digits.substr(point);
    }
    return shown;
}

double scale_length(double width) {
    if (!(width > 0) || !std::isfinite(width)) return 0;
    const double most = width / 5;
    const double power = std::pow(10.0, std::floor(std::log10(most)));
    for (const double step : {5.0, 2.0, 1.0}) {
        if (step * power <= most) return step * power;
    }
    return power / 2;  // the power computed a hair above `most`
}

}  // namespace tavrin
