#include "output/escapes.h"

#include "output/table_format.h"

namespace tavrin {

std::string shown_value(std::string_view text) {
    static const char kHex[] = "0123456789abcdef";
    std::string shown;
    for (const char c : escape_field(text)) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte != 0x7f) {
            shown += c;
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

}  // namespace tavrin
