#include "output/escapes.h"

#include "output/table_format.h"

namespace tavrin {

std::string shown_controls(std::string_view text) {
    static const char kHex[] = "0123456789abcdef";
    std::string shown;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte != 0x7f) {
            shown += c;
        } else if (c == '\t') {
            shown += "\\t";
        } else if (c == '\n') {
            shown += "\\n";
        } else if (c == '\r') {
            shown += "\\r";
        } else if (c == '\v') {
            shown += "\\v";
        } else if (c == '\f') {
            shown += "\\f";
        } else {
            shown += "\\x";
            shown += kHex[byte >> 4];
            shown += kHex[byte & 0xf];
        }
    }
    return shown;
}

std::string counted(std::size_t count, const char* one, const char* many) {
    return std::to_string(count) + ' ' + (count == 1 ? one : many);
}

std::string shown_value(std::string_view text) {
    return shown_controls(escape_field(text));
}

}  // namespace tavrin
