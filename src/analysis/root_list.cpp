#include "analysis/root_list.h"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>

#include "analysis/leaf_matching.h"
#include "analysis/steps.h"
#include "tree/rooting.h"

namespace tavrin {

OutgroupNames::OutgroupNames(std::vector<std::string> names) : names_(std::move(names)) {
    trie_.push_back(Node{{}, kNone});
    for (std::size_t outgroup = 0; outgroup < names_.size(); ++outgroup) {
        std::size_t node = 0;
        for (const char c : names_[outgroup]) {
            const auto byte = static_cast<unsigned char>(c);
            auto& children = trie_[node].children;
            const auto at = std::lower_bound(children.begin(), children.end(),
                                             std::pair<unsigned char, std::size_t>{byte, 0});
            if (at != children.end() && at->first == byte) {
                node = at->second;
                continue;
            }
            const std::size_t fresh = trie_.size();
            children.insert(at, {byte, fresh});
            trie_.push_back(Node{{}, kNone});
            node = fresh;
        }
        trie_[node].outgroup = outgroup;
    }
}

OutgroupNames::~OutgroupNames() = default;

std::size_t OutgroupNames::child(std::size_t node, unsigned char byte) const {
    const auto& children = trie_[node].children;
    const auto at = std::lower_bound(children.begin(), children.end(),
                                     std::pair<unsigned char, std::size_t>{byte, 0});
    return at != children.end() && at->first == byte ? at->second : kNone;
}

std::optional<std::size_t> OutgroupNames::named(std::string_view name) const {
    std::size_t node = 0;
    for (const char c : name) {
        node = child(node, static_cast<unsigned char>(c));
        if (node == kNone) return std::nullopt;
    }
    if (trie_[node].outgroup == kNone) return std::nullopt;
    return trie_[node].outgroup;
}

namespace {

// What the outgroups of a list find in one tree: for each, its outgroup leaves (target leaves
// excepted) by their numbers in increasing order, and whether any leaf passes its test.
struct OutgroupLeaves {
    std::vector<std::vector<std::uint32_t>> numbers;
    std::vector<bool> matched;
};

// One pass over the leaves of `view`, each matched against every outgroup at once: the names it
// starts with, and the groups its leaf prefix belongs to. The target test is asked only of the
// leaves some outgroup holds.
OutgroupLeaves find_outgroup_leaves(const UnrootedTree& view, const OutgroupNames& names,
                                    const TargetTest& target, const GroupRelations& groups,
                                    char separator) {
    OutgroupLeaves found;
    found.numbers.resize(names.size());
    found.matched.assign(names.size(), false);
    // The last leaf each outgroup took: a leaf may reach one by its name and by a group.
    std::vector<std::size_t> taken(names.size(), static_cast<std::size_t>(-1));
    // The outgroups named by the groups of the last leaf prefix looked up: neighbouring leaves
    // mostly share theirs.
    std::optional<std::string> last_prefix;
    std::vector<std::size_t> by_groups;
    const std::size_t leaves = view.leaf_count();
    for (std::size_t number = 0; number < leaves; ++number) {
        const Phylogeny_Node* leaf = view.leaf(number);
        std::optional<bool> is_target;
        const auto take = [&](std::size_t outgroup) {
            if (taken[outgroup] == number) return;
            taken[outgroup] = number;
            found.matched[outgroup] = true;
            if (!is_target.has_value()) is_target = target(leaf);
            if (!*is_target) found.numbers[outgroup].push_back(static_cast<std::uint32_t>(number));
        };
        names.prefixes_of(leaf->name, take);
        if (groups.empty()) continue;
        const std::string_view prefix = leaf_prefix(leaf->name, separator);
        if (!last_prefix || *last_prefix != prefix) {
            last_prefix = std::string(prefix);
            by_groups.clear();
            groups.for_each_group_of(prefix, [&](std::string_view group) {
                if (const std::optional<std::size_t> outgroup = names.named(group))
                    by_groups.push_back(*outgroup);
            });
        }
        for (const std::size_t outgroup : by_groups)
            take(outgroup);
    }
    return found;
}

}  // namespace

bool parse_root_list(const std::string& text, RootList& list) {
    RootList parsed;
    parsed.text = text;
    std::vector<std::string> outgroups;
    for (std::size_t start = 0;;) {
        const std::size_t comma = text.find(',', start);
        std::string entry = text.substr(start, comma - start);
        if (entry.empty()) return false;
        std::optional<std::size_t> outgroup;
        if (entry != kRootGiven && entry != kRootMidpoint) {
            const auto same = std::find(outgroups.begin(), outgroups.end(), entry);
            outgroup = static_cast<std::size_t>(same - outgroups.begin());
            if (same == outgroups.end()) outgroups.push_back(entry);
        }
        parsed.entries.push_back(RootEntry{std::move(entry), outgroup});
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    if (!outgroups.empty()) parsed.outgroups = std::make_shared<const OutgroupNames>(outgroups);
    parsed.max_strays = list.max_strays;
    list = std::move(parsed);
    return true;
}

const RootEntry* root_by_list(Phylogeny& tree, const RootList& list, const TargetTest& target,
                              const GroupRelations& groups, char separator, TreeChanges* changes,
                              std::vector<bool>* matched,
                              std::vector<const Phylogeny_Node*>* strays, SharedRootPlaces* shared,
                              std::vector<const Phylogeny_Node*>* file_order) {
    // Read once for every entry tried: the tree stays as it is until one applies.
    auto view = std::make_unique<UnrootedTree>(tree);
    std::optional<OutgroupLeaves> found;
    const auto find = [&] {
        if (!found.has_value())
            found = find_outgroup_leaves(*view, *list.outgroups, target, groups, separator);
    };
    if (matched != nullptr && list.outgroups != nullptr) {
        find();
        *matched = found->matched;
    }
    // The leaves as read, taken from the numbering the outgroups made while it lasts.
    const auto keep_order = [&] {
        if (file_order != nullptr && file_order->empty()) view->leaves_in_order(*file_order);
    };
    for (const RootEntry& entry : list.entries) {
        if (entry.text == kRootGiven) {
            if (file_order != nullptr) file_order->clear();
            return &entry;
        }
        std::optional<RootPlace> place;
        std::vector<std::uint32_t> broke;
        if (entry.outgroup.has_value()) {
            find();
            place = view->outgroup_place(found->numbers[*entry.outgroup], list.max_strays, &broke);
        } else {
            if (view->leaves_numbered()) keep_order();  // the midpoint lets the numbering go
            if (shared == nullptr) {
                place = view->midpoint_place();
            } else {
                if (!shared->midpoint.has_value()) shared->midpoint = view->midpoint_place();
                place = *shared->midpoint;
            }
        }
        if (!place.has_value()) continue;
        keep_order();
        if (strays != nullptr) {
            strays->clear();
            for (const std::uint32_t number : broke)
                strays->push_back(view->leaf(number));
        }
        view.reset();
        root_on_branch(tree, *place, changes);
        return &entry;
    }
    if (file_order != nullptr) file_order->clear();
    return nullptr;
}

}  // namespace tavrin
