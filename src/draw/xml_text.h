// Text and numbers as SVG and HTML documents hold them.
#ifndef TAVRIN_DRAW_XML_TEXT_H
#define TAVRIN_DRAW_XML_TEXT_H

#include <cstddef>
#include <string>
#include <string_view>

namespace tavrin {

// Text made safe for XML character data and attribute values: bytes that are not UTF-8 and
// characters XML 1.0 forbids become U+FFFD, and & < > " ' become entity references. At most
// `max_chars` characters are kept; a longer text ends with an ellipsis.
std::string xml_text(std::string_view text, std::size_t max_chars = std::string_view::npos);

// A coordinate with at most one decimal, whatever the locale: 12, 12.5, -3.1.
std::string svg_number(double value);

}  // namespace tavrin

#endif  // TAVRIN_DRAW_XML_TEXT_H
