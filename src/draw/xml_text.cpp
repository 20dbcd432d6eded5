#include "draw/xml_text.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace tavrin {

namespace {

constexpr const char* kReplacement = "\xEF\xBF\xBD";  // U+FFFD
constexpr const char* kEllipsis = "\xE2\x80\xA6";     // U+2026

// Length of the well-formed UTF-8 sequence at the start of `text` and its code point, or 0 when
// the bytes there are not one (overlong forms and surrogates included).
std::size_t utf8_sequence(std::string_view text, std::uint32_t& code) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(0);
    std::size_t length;
    std::uint32_t min;
    if (lead < 0x80) {
        code = lead;
        return 1;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2, code = lead & 0x1F, min = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3, code = lead & 0x0F, min = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4, code = lead & 0x07, min = 0x10000;
    } else {
        return 0;
    }
    if (text.size() < length) return 0;
    for (std::size_t i = 1; i < length; ++i) {
        if ((byte(i) & 0xC0) != 0x80) return 0;
        code = (code << 6) | (byte(i) & 0x3F);
    }
    if (code < min || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return 0;
    return length;
}

// The characters with an entity reference, and their references.
constexpr std::string_view kMarkup = "&<>\"'";
constexpr const char* kEntities[] = {"&amp;", "&lt;", "&gt;", "&quot;", "&apos;"};

}  // namespace

std::string svg_number(double value) {
    const long long tenths = std::llround(std::fabs(value) * 10);
    std::string text = (value < 0 && tenths != 0) ? "-" : "";
    text += std::to_string(tenths / 10);
    if (tenths % 10 != 0) text += "." + std::to_string(tenths % 10);
    return text;
}

std::string xml_text(std::string_view text, std::size_t max_chars) {
    std::string out;
    out.reserve(std::min(text.size(), max_chars) + 3);
    std::size_t chars = 0;
    while (!text.empty()) {
        if (chars == max_chars) {
            out += kEllipsis;
            break;
        }
        std::uint32_t code = 0;
        std::size_t length = utf8_sequence(text, code);
        const std::size_t markup =
            code < 0x80 ? kMarkup.find(static_cast<char>(code)) : kMarkup.npos;
        if (length == 0) {
            out += kReplacement;
            length = 1;
        } else if (code < 0x20 || code == 0xFFFE || code == 0xFFFF) {
            // Controls XML forbids; a line break or tab inside a name would be lost anyway.
            out += kReplacement;
        } else if (markup != kMarkup.npos) {
            out += kEntities[markup];
        } else {
            out.append(text.substr(0, length));
        }
        text.remove_prefix(length);
        ++chars;
    }
    return out;
}

}  // namespace tavrin
