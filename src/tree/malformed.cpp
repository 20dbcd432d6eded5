#include "tree/malformed.h"

#include "output/messages.h"
#include "output/report.h"

namespace tavrin {

std::string malformed_message(const Malformed& malformed, const std::string& file) {
    if (malformed.dialect == Dialect::kClassic) {
        // A NUL would end the line for most of what reads it; every other byte is shown as is.
        const std::string found =
            malformed.found == std::string(1, '\0') ? "\\x00" : malformed.found;
        return messages::kMalformedClassic + found + "'";
    }
    return messages::kMalformedStandard + shown_name(file, true) + ", tree " +
           std::to_string(malformed.tree) + ", at byte " + std::to_string(malformed.offset) + ": " +
           malformed.what;
}

}  // namespace tavrin
