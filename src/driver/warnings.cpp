#include "driver/warnings.h"

#include <cstring>

#include "output/escapes.h"
#include "output/messages.h"

namespace tavrin {

void warn_of_prefix_like_option(std::ostream& err, const std::string& prefix) {
    if (prefix.empty() || prefix[0] != '-') return;
    err << messages::kWarning << messages::kPrefixLikeOptionBefore << shown_value(prefix)
        << messages::kPrefixLikeOptionAfter << std::endl;
}

bool holds_several_trees(std::string_view text) {
    const void* semicolon = std::memchr(text.data(), ';', text.size());
    if (semicolon == nullptr) return false;
    const std::size_t first =
        static_cast<std::size_t>(static_cast<const char*>(semicolon) - text.data());
    const std::size_t last = text.find_last_not_of(" \t\r\n");
    return last != std::string_view::npos && last > first;
}

void warn_of_several_trees(std::ostream& err, const std::string& path) {
    err << messages::kWarning << path << messages::kSeveralTrees << std::endl;
}

void warn_of_replaced_pictures(std::ostream& err, const std::string& dir,
                               const PictureFolder& pictures) {
    const std::size_t count = pictures.replaced_others();
    if (count == 0) return;
    err << messages::kWarning << messages::kReplacedPictureBefore << dir << ": "
        << pictures.first_replaced();
    if (count == 1) {
        err << messages::kReplacedPictureOne;
    } else {
        err << messages::kReplacedPicturesAnd << count - 1 << messages::kReplacedPicturesMore;
    }
    err << std::endl;
}

void TargetSeen::warn_if_never_seen(std::ostream& err, const RunConfig& config) const {
    if (trees_ == 0 || target_leaves_ != 0) return;
    err << messages::kWarning << messages::kNoTargetLeaf << shown_value(config.analysis.prefix)
        << '\'';
    if (!config.group_file.empty()) err << messages::kWithGroupsOf << config.group_file;
    err << std::endl;
}

}  // namespace tavrin
