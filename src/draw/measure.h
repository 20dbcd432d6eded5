// Sizes and numbers of a picture: how wide a text is likely drawn, supports as short as they
// read, and the length a scale bar stands for.
#ifndef TAVRIN_DRAW_MEASURE_H
#define TAVRIN_DRAW_MEASURE_H

#include <cstddef>
#include <string>
#include <string_view>

namespace tavrin {

// An upper estimate of the width in pixels of `text` (UTF-8, entity references counted as
// written) in a sans-serif font of `size` pixels: each character takes its width in the common
// sans-serif fonts, the wider of them, bold a tenth more; a character outside ASCII takes a
// whole em. Only the first `max_chars` characters count, plus an ellipsis past them.
double text_width(std::string_view text, double size, bool bold = false,
                  std::size_t max_chars = std::string_view::npos);

// The shortest decimal that reads back as `value`: 0.935, 100, 0.12345678, 1 for 1.00000000e+00;
// plain digits from 1e-7 to 1e21, else an exponent (1e-08, 2.5e+21). "inf", "-inf" and "nan"
// for those. Whatever the locale.
std::string shortest_decimal(double value);

// The length a scale bar stands for, for a tree `width` long: 1, 2 or 5 times a power of ten,
// the largest such that is at most a fifth of the width. 0 for a width that is not positive and
// finite.
double scale_length(double width);

}  // namespace tavrin

#endif  // TAVRIN_DRAW_MEASURE_H
