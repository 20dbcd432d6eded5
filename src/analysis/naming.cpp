// Clade naming: the shared leaf prefix, or the first group (list order) holding every leaf; at a
// purity below 1, the most specific name that enough of the leaves pass, its strays scattered.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "analysis/leaf_matching.h"
#include "analysis/steps.h"
#include "tree/numbers.h"
#include "tree/walk.h"

namespace tavrin {

namespace {

// A leaf's rendered text ("%s:%f" of name and length) cut before its first `separator`: its
// leaf prefix when the name holds one, else the text with its length (Sc1:0.100000), cut at a
// separator the length holds (Sc1: for -0.5 when the separator is '-').
std::string rendered_prefix(NodeRef leaf, char separator) {
    const std::string_view name = leaf.name();
    const size_t in_name = name.find(separator);
    if (in_name != std::string::npos) return std::string(name.substr(0, in_name));
    std::string text(name);
    text += ':';
    append_fixed(text, leaf.length());
    const size_t cut = text.find(separator);
    if (cut != std::string::npos) text.resize(cut);
    return text;
}

// Walks the leaves below `top` from left to right: `fresh(prefix, leaf, key)` for a leaf whose
// leaf prefix differs from the leaf before it, `repeat(leaf)` for one that carries the same
// (neighbouring leaves mostly share their prefix, which then costs no hash; two leaves numbered
// alike at `separator` share it without a look at their names). `key` is the leaf's number when
// it was cut at `separator`, else kNoLeafKey. Stops, answering false, at an internal node that
// lacks a child (no name then fits).
template <typename Fresh, typename Repeat>
bool walk_leaf_prefixes(NodeRef top, char separator, Fresh fresh, Repeat repeat) {
    const LeafKeys& keys = LeafKeys::of_thread();
    std::string_view last;
    std::uint32_t last_key = kNoLeafKey;
    bool have_last = false;
    return preorder(top, [&](NodeRef n) {
        if (!n.is_leaf()) return n.left() != nullptr && n.right() != nullptr;
        if (n.leaf_key() == last_key && last_key != kNoLeafKey) {
            repeat(n);
            return true;
        }
        const std::uint32_t key = n.leaf_key();
        last_key = key < keys.size() && keys.separator(key) == separator ? key : kNoLeafKey;
        const std::string_view p = leaf_prefix(n.name(), separator);
        if (have_last && p == last) {
            repeat(n);
        } else {
            fresh(p, n, last_key);
            last = p;
            have_last = true;
        }
        return true;
    });
}

// The distinct leaf prefixes below `top`, or false when some internal node lacks a child. A
// clade of a gene tree holds a few prefixes: they are looked for in the list itself, by the
// leaves' numbers first, until it grows long enough for a hash set to pay. The numbers of the
// prefixes go to `keys` while the list is short and every prefix met has one.
bool distinct_leaf_prefixes(NodeRef top, char separator, std::vector<std::string_view>& prefixes,
                            std::vector<std::uint32_t>& keys) {
    constexpr std::size_t kListed = 16;
    std::uint32_t listed_keys[kListed];
    std::unordered_set<std::string_view> seen;
    return walk_leaf_prefixes(
        top, separator,
        [&](std::string_view p, NodeRef, std::uint32_t key) {
            if (prefixes.size() < kListed) {
                // A leaf without a number is looked for by its prefix.
                for (std::size_t i = 0; i < prefixes.size(); ++i) {
                    if (listed_keys[i] == key && key != kNoLeafKey) return;
                }
                for (std::string_view q : prefixes) {
                    if (q == p) return;
                }
                listed_keys[prefixes.size()] = key;
                if (key != kNoLeafKey && keys.size() == prefixes.size()) keys.push_back(key);
                prefixes.push_back(p);
                return;
            }
            if (seen.empty()) seen.insert(prefixes.begin(), prefixes.end());
            if (seen.insert(p).second) prefixes.push_back(p);
        },
        [](NodeRef) {});
}

// The names clade_name found in this thread, by what decides them: the group relations, the
// separator, the rendered prefix of the clade's first leaf and the set of its leaf prefixes,
// these by their numbers in the thread's LeafKeys table (which never renumbers a prefix). The
// clades of gene trees hold a few prefixes, and the same sets come back clade after clade and
// tree after tree: a set named once is then looked up, not tried against the group list again.
struct NamesFound {
    static constexpr std::size_t kMaxKept = std::size_t{1} << 14;

    std::uint64_t relations = 0;
    char separator = 0;
    std::unordered_map<std::string, std::string> names;
    std::string packed;  // the key last built

    // The thread's names, emptied when they were found under other relations or another
    // separator, or have grown past kMaxKept.
    static NamesFound& of_thread(const GroupRelations& groups, char separator) {
        thread_local NamesFound found;
        if (found.relations != groups.serial() || found.separator != separator ||
            found.names.size() >= kMaxKept) {
            found.names.clear();
            found.relations = groups.serial();
            found.separator = separator;
        }
        return found;
    }
    // The key of a clade whose first leaf renders as `first` and whose prefixes are numbered
    // `keys` (sorted here): the numbers' count, the numbers, then the text.
    const std::string& key(std::string_view first, std::vector<std::uint32_t>& keys) {
        std::sort(keys.begin(), keys.end());
        packed.clear();
        auto append = [this](std::uint32_t value) {
            packed.append(reinterpret_cast<const char*>(&value), sizeof value);
        };
        append(static_cast<std::uint32_t>(keys.size()));
        for (const std::uint32_t k : keys)
            append(k);
        packed.append(first);
        return packed;
    }
};

// Whether `leaf`, below `top`, is the right leaf of a cherry other than `top`: a node whose two
// children are leaves. Its left leaf is then the leaf walked just before it.
bool closes_cherry(NodeRef top, NodeRef leaf) {
    NodeRef up = leaf.parent();
    return up != nullptr && up != top && up.right() == leaf && up.left() != nullptr &&
           up.left().is_leaf();
}

// The leaves below `top`, as clade naming at a purity below 1 sees them: the distinct leaf
// prefixes in the order the leaves first carry them, each with its number of leaves, the number
// of leaves, and the cherries below `top` by the places of their prefixes (each distinct pair
// once, with its count); false when some internal node lacks a child.
struct CountedLeaves {
    std::vector<PrefixCount> prefixes;
    std::size_t leaves = 0;
    std::vector<CherryPrefixes> cherries;
};
bool counted_leaf_prefixes(NodeRef top, char separator, CountedLeaves& counted) {
    std::vector<PrefixCount>& prefixes = counted.prefixes;
    std::unordered_map<std::string_view, std::size_t> place;
    std::vector<std::size_t> alike;  // per prefix, the cherries both of whose leaves carry it
    std::unordered_map<uint64_t, std::size_t> mixed;  // (first << 32 | second) -> cherries
    std::size_t last = 0;                             // the place of the last leaf's prefix
    auto note = [&](std::size_t before, NodeRef leaf) {
        ++prefixes[last].leaves;
        ++counted.leaves;
        if (!closes_cherry(top, leaf)) return;
        if (before == last) {
            ++alike[last];
        } else {
            ++mixed[static_cast<uint64_t>(before) << 32 | static_cast<uint64_t>(last)];
        }
    };
    const bool whole = walk_leaf_prefixes(
        top, separator,
        [&](std::string_view p, NodeRef leaf, std::uint32_t) {
            const std::size_t before = last;
            const auto found = place.emplace(p, prefixes.size());
            if (found.second) {
                prefixes.push_back(PrefixCount{p, 0});
                alike.push_back(0);
            }
            last = found.first->second;
            note(before, leaf);
        },
        [&](NodeRef leaf) { note(last, leaf); });
    for (std::size_t i = 0; i < alike.size(); ++i) {
        if (alike[i] != 0) counted.cherries.push_back(CherryPrefixes{i, i, alike[i]});
    }
    for (const auto& pair : mixed) {
        counted.cherries.push_back(
            CherryPrefixes{static_cast<std::size_t>(pair.first >> 32),
                           static_cast<std::size_t>(pair.first & 0xffffffffu), pair.second});
    }
    return whole;
}

}  // namespace

bool wholly_in_group(const GroupRelations& groups, NodeRef n, std::string_view group,
                     char separator) {
    return n != nullptr && preorder(n, [&](NodeRef x) {
               if (!x.is_leaf()) return x.left() != nullptr && x.right() != nullptr;
               return groups.same_group(leaf_prefix(x.name(), separator), group);
           });
}

std::string clade_name(const GroupRelations& groups, NodeRef n, char separator) {
    if (n == nullptr) return std::string();
    if (n.is_leaf()) return rendered_prefix(n, separator);

    NodeRef leftmost = n.left();
    while (leftmost != nullptr && !leftmost.is_leaf())
        leftmost = leftmost.left();
    if (leftmost == nullptr) return std::string();

    // Every candidate is tested against the distinct leaf prefixes of the subtree, which is
    // the same as testing every leaf.
    thread_local std::vector<std::string_view> prefixes;  // kept: most clades hold a few
    thread_local std::vector<std::uint32_t> keys;
    prefixes.clear();
    keys.clear();
    if (!distinct_leaf_prefixes(n, separator, prefixes, keys)) return std::string();
    std::string first = rendered_prefix(leftmost, separator);
    if (keys.size() != prefixes.size()) return groups.first_group_holding_all(first, prefixes);
    NamesFound& found = NamesFound::of_thread(groups, separator);
    const std::string& key = found.key(first, keys);
    auto known = found.names.find(key);
    if (known == found.names.end()) {
        known = found.names.emplace(key, groups.first_group_holding_all(first, prefixes)).first;
    }
    return known->second;
}

std::string clade_name_at_purity(const NamingRule& rule, NodeRef n) {
    if (!rule.tolerates_strays() || n == nullptr || n.is_leaf())
        return clade_name(rule.groups, n, rule.separator);
    CountedLeaves counted;
    if (!counted_leaf_prefixes(n, rule.separator, counted)) return std::string();
    return rule.groups.most_specific_holding(counted.prefixes, counted.leaves, rule,
                                             counted.cherries);
}

GroupTally tally_group(const GroupRelations& groups, NodeRef n, std::string_view group,
                       char separator, std::vector<NodeRef>* outside) {
    GroupTally tally;
    bool passes = false;      // the answer for the prefix of the leaves being walked
    bool last_fails = false;  // the leaf walked before fails the test
    auto count = [&](NodeRef leaf) {
        ++tally.leaves;
        if (passes) {
            ++tally.passing;
        } else {
            if (last_fails && closes_cherry(n, leaf)) ++tally.stray_cherries;
            if (outside != nullptr) outside->push_back(leaf);
        }
        last_fails = !passes;
    };
    walk_leaf_prefixes(
        n, separator,
        [&](std::string_view p, NodeRef leaf, std::uint32_t) {
            passes = groups.same_group(p, group);
            count(leaf);
        },
        count);
    return tally;
}

}  // namespace tavrin
