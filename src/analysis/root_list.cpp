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
        if (!names_[outgroup].empty())
            first_bytes_[static_cast<unsigned char>(names_[outgroup][0])] = true;
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

// The leaves of a tree shown one by one in increasing numbers, each matched against every
// outgroup at once: the names it starts with, and the groups its leaf prefix belongs to. The
// target test is asked only of the leaves some outgroup holds.
class OutgroupFinder {
public:
    OutgroupFinder(const OutgroupNames& names, const TargetTest& target,
                   const GroupRelations& groups, char separator)
        : names_(names),
          target_(target),
          groups_(groups),
          separator_(separator),
          groups_empty_(groups.empty()),
          taken_(names.size(), kNoLeaf) {
        found_.numbers.resize(names.size());
        found_.matched.assign(names.size(), false);
    }

    void see(NodeRef leaf, std::size_t number) {
        // Most leaves of a big tree are no outgroup's: they are let go at once.
        if (groups_empty_ && !names_.may_be_prefix_of(leaf.name())) return;
        see_named(leaf, number);
    }

    OutgroupLeaves take() { return std::move(found_); }

private:
    static constexpr std::size_t kNoLeaf = static_cast<std::size_t>(-1);

    void see_named(NodeRef leaf, std::size_t number) {
        std::optional<bool> is_target;
        const auto take = [&](std::size_t outgroup) {
            if (taken_[outgroup] == number) return;
            taken_[outgroup] = number;
            found_.matched[outgroup] = true;
            if (!is_target.has_value()) is_target = target_(leaf);
            if (!*is_target) found_.numbers[outgroup].push_back(static_cast<std::uint32_t>(number));
        };
        names_.prefixes_of(leaf.name(), take);
        if (groups_empty_) return;
        const std::string_view prefix = leaf_prefix(leaf.name(), separator_);
        if (!last_prefix_ || *last_prefix_ != prefix) {
            last_prefix_ = std::string(prefix);
            by_groups_.clear();
            groups_.for_each_group_of(prefix, [&](std::string_view group) {
                if (const std::optional<std::size_t> outgroup = names_.named(group))
                    by_groups_.push_back(*outgroup);
            });
        }
        for (const std::size_t outgroup : by_groups_)
            take(outgroup);
    }

    const OutgroupNames& names_;
    const TargetTest& target_;
    const GroupRelations& groups_;
    char separator_;
    bool groups_empty_;
    OutgroupLeaves found_;
    // The last leaf each outgroup took: a leaf may reach one by its name and by a group.
    std::vector<std::size_t> taken_;
    // The outgroups named by the groups of the last leaf prefix looked up: neighbouring leaves
    // mostly share theirs.
    std::optional<std::string> last_prefix_;
    std::vector<std::size_t> by_groups_;
};

// Whether trying `list` in order can come to its midpoint: `given`, which always applies, does
// not stand before it.
bool may_reach_midpoint(const RootList& list) {
    for (const RootEntry& entry : list.entries) {
        if (entry.text == kRootGiven) return false;
        if (entry.text == kRootMidpoint) return true;
    }
    return false;
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
                              std::vector<bool>* matched, std::vector<NodeRef>* strays,
                              SharedRootPlaces* shared, std::vector<NodeRef>* file_order) {
    // Read once for every entry tried: the tree stays as it is until one applies.
    auto view = std::make_unique<UnrootedTree>(tree);
    std::optional<OutgroupLeaves> found;
    std::size_t leaves = 0;
    const auto find = [&] {
        if (found.has_value()) return;
        OutgroupFinder finder(*list.outgroups, target, groups, separator);
        if (may_reach_midpoint(list) && (shared == nullptr || !shared->midpoint.has_value())) {
            // One walk for the outgroups, the midpoint and the leaves as read together; when the
            // leaves as read are kept, the outgroups are matched in their list after the walk.
            if (file_order != nullptr && file_order->empty()) {
                leaves = view->walk_for_midpoint(*file_order);
                for (std::size_t number = 0; number < leaves; ++number)
                    finder.see((*file_order)[number], number);
            } else {
                // Without groups, only a leaf whose name starts like an outgroup's may be one.
                leaves = view->walk_for_midpoint(
                    [&](NodeRef leaf, std::size_t number) { finder.see(leaf, number); },
                    groups.empty() ? &list.outgroups->first_bytes() : nullptr);
            }
        } else {
            leaves = view->leaf_count();
            for (std::size_t number = 0; number < leaves; ++number)
                finder.see(view->leaf(number), number);
        }
        found = finder.take();
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
            const std::vector<std::uint32_t>& numbers = found->numbers[*entry.outgroup];
            // No leaf, or every leaf, roots nowhere: the leaves need not be numbered for it.
            if (numbers.empty() || numbers.size() >= leaves) continue;
            place = view->outgroup_place(numbers, list.max_strays, &broke);
        } else {
            if (view->leaves_numbered()) keep_order();  // the midpoint lets the numbering go
            // The midpoint's own walk, when it makes one, gives the leaves as read on its way.
            if (shared == nullptr) {
                place = view->midpoint_place(file_order);
            } else {
                if (!shared->midpoint.has_value())
                    shared->midpoint = view->midpoint_place(file_order);
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
