#include "analysis/escapes.h"

#include <sstream>

namespace tavrin {

void write_escaped(std::ostream& out, std::string_view text, bool in_list) {
    std::size_t plain = 0;  // the first byte not written yet
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char* escaped = nullptr;
        switch (text[i]) {
            case '\t':
                escaped = "\\t";
                break;
            case '\n':
                escaped = "\\n";
                break;
            case '\\':
                escaped = "\\\\";
                break;
            case ',':
                escaped = in_list ? "\\," : nullptr;
                break;
            default:
                break;
        }
        if (escaped == nullptr) continue;
        out.write(text.data() + plain, static_cast<std::streamsize>(i - plain));
        out << escaped;
        plain = i + 1;
    }
    out.write(text.data() + plain, static_cast<std::streamsize>(text.size() - plain));
}

std::string escape_field(std::string_view text) {
    std::ostringstream escaped;
    write_escaped(escaped, text, false);
    return escaped.str();
}

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
