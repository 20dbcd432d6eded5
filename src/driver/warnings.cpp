#include "driver/warnings.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>

#include "analysis/leaf_matching.h"
#include "platform/chunked_stack.h"
#include "tree/walk.h"

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
    // A path may hold a line break or a terminal's escape: shown escaped, the warning stays one
    // line and sends no control byte to the terminal.
    err << messages::kWarning << shown_value(path) << messages::kSeveralTrees << std::endl;
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

namespace {

// Calls visit(node) for every node below and including `top`, a node's children as soon as the
// node is reached and their own children later: a leaf is met within a few steps of the top on a
// ladder of either hand, where a walk that goes down first would pass every inner node before
// it. A visit that answers false ends the walk.
template <typename Visit>
void children_first(NodeRef top, Visit visit) {
    if (top == nullptr || !visit(top)) return;
    ChunkedStack<NodeRef> waiting{top};
    while (!waiting.empty()) {
        NodeRef node = waiting.back();
        waiting.pop_back();
        for (NodeRef child : {node.right(), node.left()}) {
            if (child == nullptr) continue;
            if (!visit(child)) return;
            if (child.left() != nullptr || child.right() != nullptr) waiting.push_back(child);
        }
    }
}

}  // namespace

LeafNamesSeen see_leaf_names(Phylogeny& tree, char separator, const GroupRelations& groups) {
    LeafNamesSeen seen;
    seen.groups = groups;
    const bool with_groups = !groups.empty();
    // The distinct leaf prefixes, each looked up once after the walk. A leaf's prefix is known
    // by its number; those of the leaves left without one (once the table of numbers is full)
    // are made distinct through a hash set, a run of neighbours that share one adding it once.
    LeafKeys& keys = LeafKeys::of_thread();
    std::vector<std::uint8_t> met_key;  // by number: met in this tree
    std::vector<std::uint32_t> met;     // the numbers met, each once
    std::vector<std::string_view> prefixes;
    std::unordered_set<std::string_view> distinct;
    const auto add_prefix = [&](NodeRef leaf) {
        const std::uint32_t key = leaf.leaf_key();
        if (key == kNoLeafKey) {
            const std::string_view prefix = leaf_prefix(leaf.name(), separator);
            if (!prefixes.empty() && prefixes.back() == prefix) return;
            if (distinct.insert(prefix).second) prefixes.push_back(prefix);
            return;
        }
        if (key >= met_key.size()) met_key.resize(keys.size(), 0);
        if (met_key[key] == 0) {
            met_key[key] = 1;
            met.push_back(key);
        }
    };
    const auto see = [&](NodeRef n) {
        if (!n.is_leaf()) return true;
        ++seen.leaves;
        const std::string_view name = n.name();
        if (!seen.separator) {
            if (name.find(separator) != std::string::npos) {
                seen.separator = true;
            } else {
                for (std::size_t i = 0; i < seen.likely.size(); ++i) {
                    if (name.find(messages::kLikelySeparators[i]) != std::string::npos)
                        ++seen.likely[i];
                }
            }
        }
        // Without a group file, the first name that holds the separator ends the walk: the run
        // then warns of no separator, and needs no count of the leaves.
        if (!with_groups) return !seen.separator;
        add_prefix(n);
        return true;
    };
    // The warnings make nothing of the order the leaves are met in: the counts matter only
    // while no name holds the separator, and then every leaf is met. Without a group file the
    // walk mostly ends at the first name; with one, it visits every leaf, and numbers them on
    // its way for the analysis that follows.
    if (with_groups) {
        keys.number_each(tree, separator, see);
    } else {
        children_first(root_of(tree), see);
    }
    for (const std::uint32_t key : met)
        prefixes.push_back(keys.prefix(key));
    seen.members.reserve(prefixes.size());
    for (const std::string_view prefix : prefixes) {
        if (!prefix.empty() && groups.is_member_only(prefix)) seen.members.emplace_back(prefix);
    }
    return seen;
}

void RunSeen::tree(const TreeSeen& seen) {
    ++trees_;
    if (seen.names.has_value()) {
        const LeafNamesSeen& names = *seen.names;
        names_seen_ = true;
        leaves_ += names.leaves;
        if (names.separator) separator_seen_ = true;
        for (std::size_t i = 0; i < likely_.size(); ++i)
            likely_[i] += names.likely[i];
        groups_ = names.groups;
        members_seen_.insert(names.members.begin(), names.members.end());
    }
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
    if (!config.leading_options || !names_seen_) return;
    warn_of_separator(err, config);
    warn_of_unmatched_members(err);
}

void RunSeen::warn_of_separator(std::ostream& err, const RunConfig& config) const {
    const char separator = config.analysis.separator;
    if (separator_seen_ || leaves_ == 0) return;
    for (std::size_t i = 0; i < likely_.size(); ++i) {
        const char likely = messages::kLikelySeparators[i];
        if (likely == separator || 2 * likely_[i] < leaves_) continue;
        err << messages::kWarning << messages::kNoSeparatorBefore
            << shown_value(std::string(1, separator)) << messages::kNoSeparatorBut << likely_[i]
            << messages::kNoSeparatorOf << leaves_ << messages::kNoSeparatorContain
            << shown_value(std::string(1, likely)) << messages::kNoSeparatorAfter << std::endl;
        return;
    }
}

void RunSeen::warn_of_unmatched_members(std::ostream& err) const {
    // The members in the order the file first gives them, each with its first group.
    std::vector<const GroupPair*> unmatched;
    std::unordered_set<std::string_view> listed;
    for (const GroupPair& pair : groups_) {
        if (pair.member.empty() || !groups_.is_member_only(pair.member)) continue;
        if (members_seen_.count(pair.member) != 0 || !listed.insert(pair.member).second) continue;
        unmatched.push_back(&pair);
    }
    if (unmatched.empty()) return;
    err << messages::kWarning;
    if (unmatched.size() == 1) {
        err << messages::kUnmatchedMemberOne;
    } else {
        err << unmatched.size() << messages::kUnmatchedMembers;
    }
    const std::size_t shown = std::min(unmatched.size(), messages::kUnmatchedMembersShown);
    for (std::size_t i = 0; i < shown; ++i) {
        err << (i > 0 ? ", '" : "'") << shown_value(unmatched[i]->member) << '\''
            << messages::kUnmatchedMemberGroup << shown_value(unmatched[i]->group) << ')';
    }
    if (shown < unmatched.size())
        err << messages::kUnmatchedMembersMore << unmatched.size() - shown
            << messages::kWarningsMore;
    err << std::endl;
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
