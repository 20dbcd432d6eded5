#include "analysis/root_list.h"

#include <algorithm>
#include <optional>

#include "analysis/leaf_matching.h"
#include "analysis/steps.h"
#include "tree/rooting.h"

namespace tavrin {

namespace {

// Where `entry`, midpoint or an outgroup, puts the root of the tree `view` shows; none when it
// does not apply.
std::optional<RootPlace> place_by(const UnrootedTree& view, const RootEntry& entry,
                                  const TargetTest& target, const GroupRelations& groups,
                                  char separator) {
    if (entry.outgroup == nullptr) return view.midpoint_place();
    const TargetTest in_outgroup(*entry.outgroup, groups, entry.text, separator);
    return view.outgroup_place(
        [&](const Phylogeny_Node* leaf) { return in_outgroup(leaf) && !target(leaf); });
}

}  // namespace

bool parse_root_list(const std::string& text, RootList& list) {
    RootList parsed;
    parsed.text = text;
    for (std::size_t start = 0;;) {
        const std::size_t comma = text.find(',', start);
        std::string entry = text.substr(start, comma - start);
        if (entry.empty()) return false;
        std::shared_ptr<const LeafMatcher> outgroup;
        if (entry != kRootGiven && entry != kRootMidpoint) {
            outgroup = std::make_shared<const LeafMatcher>(entry, false);
        }
        parsed.entries.push_back(RootEntry{std::move(entry), std::move(outgroup)});
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    list = std::move(parsed);
    return true;
}

const RootEntry* root_by_list(Phylogeny& tree, const RootList& list, const TargetTest& target,
                              const GroupRelations& groups, char separator, TreeChanges* changes) {
    // Read once for every entry tried: the tree stays as it is until one applies.
    std::unique_ptr<UnrootedTree> view;
    for (auto entry_at = list.entries.begin(); entry_at != list.entries.end(); ++entry_at) {
        const RootEntry& entry = *entry_at;
        if (entry.text == kRootGiven) return &entry;
        if (view == nullptr) {
            // A midpoint tried after this entry, before any `given`, shares its walk.
            const auto later = std::find_if(entry_at, list.entries.end(), [](const RootEntry& e) {
                return e.text == kRootGiven || e.text == kRootMidpoint;
            });
            const bool midpoint_later = later != list.entries.end() && later->text == kRootMidpoint;
            view = std::make_unique<UnrootedTree>(tree, midpoint_later);
        }
        const std::optional<RootPlace> place = place_by(*view, entry, target, groups, separator);
        if (!place.has_value()) continue;
        view.reset();
        root_on_branch(tree, *place, changes);
        return &entry;
    }
    return nullptr;
}

}  // namespace tavrin
