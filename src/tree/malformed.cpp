#include "tree/malformed.h"

#include "output/messages.h"

namespace tavrin {

std::string malformed_message(const Malformed& malformed, const std::string& file) {
    if (malformed.dialect == Dialect::kClassic) {
        return messages::kMalformedClassic + malformed.found + "'";
    }
    return messages::kMalformedStandard + file + ", tree " + std::to_string(malformed.tree) +
           ", at byte " + std::to_string(malformed.offset) + ": " + malformed.what;
}

}  // namespace tavrin
