#include "driver/warnings.h"

#include <cstring>
#include <memory>

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
    err << messages::kWarning << messages::kReplacedPictureBefore << shown_value(dir) << ": "
        << shown_value(pictures.first_replaced());
    if (count == 1) {
        err << messages::kReplacedPictureOne;
    } else {
        err << messages::kReplacedPicturesAnd << count - 1 << messages::kReplacedPicturesMore;
    }
    err << std::endl;
}

void RunSeen::tree(const TreeSeen& seen) {
    ++trees_;
    target_leaves_ += seen.target_leaves;
    if (seen.three_way_root) ++three_way_roots_;
    if (outgroups_matched_.size() < seen.outgroups_matched.size())
        outgroups_matched_.resize(seen.outgroups_matched.size(), false);
    for (std::size_t i = 0; i < seen.outgroups_matched.size(); ++i) {
        if (seen.outgroups_matched[i]) outgroups_matched_[i] = true;
    }
}

void RunSeen::warn(std::ostream& err, const RunConfig& config, const std::string& target) const {
    if (trees_ == 0) return;
    warn_if_target_never_seen(err, config, target);
    warn_of_unmatched_outgroups(err, config);
    warn_of_three_way_roots(err, config);
}

void RunSeen::warn_if_target_never_seen(std::ostream& err, const RunConfig& config,
                                        const std::string& target) const {
    if (target_leaves_ != 0) return;
    err << messages::kWarning << messages::kNoTargetLeaf << shown_value(target) << '\'';
    if (!config.group_file.empty()) err << messages::kWithGroupsOf << config.group_file;
    err << std::endl;
}

void RunSeen::warn_of_unmatched_outgroups(std::ostream& err, const RunConfig& config) const {
    const std::shared_ptr<const OutgroupNames>& outgroups = config.analysis.root.outgroups;
    if (outgroups == nullptr) return;
    for (std::size_t i = 0; i < outgroups->size(); ++i) {
        if (i < outgroups_matched_.size() && outgroups_matched_[i]) continue;
        err << messages::kWarning << messages::kRootEntryBefore << shown_value(outgroups->name(i))
            << messages::kRootEntryUnmatched << std::endl;
    }
}

void RunSeen::warn_of_three_way_roots(std::ostream& err, const RunConfig& config) const {
    const bool standard = config.read.dialect == Dialect::kStandard;
    if (three_way_roots_ == 0 || !config.analysis.root.entries.empty()) return;
    if (!config.table && !standard) return;
    err << messages::kWarning << three_way_roots_ << messages::kThreeWayRootsOf << trees_
        << messages::kThreeWayRoots << std::endl;
}

}  // namespace tavrin
