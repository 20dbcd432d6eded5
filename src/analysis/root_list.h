// The list of ways to root a tree (--root): tried in order, the first that applies roots it.
//
//   given      the tree as read, its root where the file puts it (always applies)
//   midpoint   the midpoint of the longest path between two leaves
//   NAME       an outgroup: the leaves the target test would select with NAME as the search
//              prefix (a plain prefix, never a pattern), target leaves excepted; the root goes
//              halfway along the branch of the largest side holding outgroup leaves only, or,
//              with max_strays K above 0 and an outgroup that is not one side, of the side
//              holding three quarters of them and at most K other leaves
//
// Every entry but `given` takes the tree as unrooted and keeps every support and length on its
// branch (see tree/rooting.h), so that every rooting of one unrooted tree gives the same tree.
#ifndef TAVRIN_ANALYSIS_ROOT_LIST_H
#define TAVRIN_ANALYSIS_ROOT_LIST_H

#include <array>
#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "analysis/group_relations.h"
#include "tree/node_ref.h"
#include "tree/phylogeny.h"
#include "tree/rooting.h"

namespace tavrin {

class OutgroupNames;

class TargetTest;
class TreeChanges;

constexpr const char* kRootGiven = "given";
constexpr const char* kRootMidpoint = "midpoint";

struct RootEntry {
    std::string text;  // as given: given, midpoint or the outgroup
    // An outgroup's number among the list's distinct outgroups (RootList::outgroups); absent for
    // given and midpoint.
    std::optional<std::size_t> outgroup;
};

struct RootList {
    std::string text;                // the list as given, for messages
    std::vector<RootEntry> entries;  // empty: no list, every tree taken as given
    // The distinct outgroups of the entries, in the order they first stand; absent without any.
    std::shared_ptr<const OutgroupNames> outgroups;
    // The leaves an outgroup that is not one side may be broken by (UnrootedTree::outgroup_place):
    // 0, the outgroup roots on its largest side of outgroup leaves only.
    std::size_t max_strays = 0;
};

// The largest number of leaves an outgroup may be broken by.
constexpr std::size_t kMaxRootStrays = 10;

// The list's distinct outgroups, and which of them a leaf name starts with (byte-exact). Made
// once per list: a leaf is matched against all of them in time linear in its name, whatever
// their number.
class OutgroupNames {
public:
    explicit OutgroupNames(std::vector<std::string> names);
    ~OutgroupNames();

    std::size_t size() const { return names_.size(); }
    const std::string& name(std::size_t outgroup) const { return names_[outgroup]; }
    // The outgroup named `name` exactly, if any.
    std::optional<std::size_t> named(std::string_view name) const;
    // Calls found(outgroup) for every outgroup whose name `name` starts with, shortest first.
    template <typename Found>
    void prefixes_of(std::string_view name, Found found) const;
    // Whether some outgroup's name may be a prefix of `name`: false for most leaves, at once.
    bool may_be_prefix_of(std::string_view name) const {
        return !name.empty() && first_bytes_[static_cast<unsigned char>(name[0])];
    }
    // The bytes the outgroups' names begin with.
    const std::array<bool, 256>& first_bytes() const { return first_bytes_; }

private:
    // A trie of the names: each node's children, sorted by byte, and the outgroup whose name
    // ends there (kNone for none).
    struct Node {
        std::vector<std::pair<unsigned char, std::size_t>> children;
        std::size_t outgroup;
    };
    static constexpr std::size_t kNone = static_cast<std::size_t>(-1);
    std::size_t child(std::size_t node, unsigned char byte) const;

    std::vector<std::string> names_;
    std::vector<Node> trie_;
    // The first bytes of the names: most leaves start with none of them.
    std::array<bool, 256> first_bytes_{};
};

template <typename Found>
void OutgroupNames::prefixes_of(std::string_view name, Found found) const {
    if (!may_be_prefix_of(name)) return;
    std::size_t node = 0;
    for (const char c : name) {
        node = child(node, static_cast<unsigned char>(c));
        if (node == kNone) return;
        if (trie_[node].outgroup != kNone) found(trie_[node].outgroup);
    }
}

// Reads the list written `text`, split at its commas, into `list` (its max_strays kept); false
// when the list or one of its entries is empty.
bool parse_root_list(const std::string& text, RootList& list);

// What the root lists of several analyses of one tree (one per target) share while the tree
// stands as read: the midpoint, which depends on the branches alone. Found by the first analysis
// that asks, absent before.
struct SharedRootPlaces {
    std::optional<std::optional<RootPlace>> midpoint;
};

// Roots `tree`, whose root must be present, by the first entry of `list` that applies, and
// answers that entry; none, leaving the tree as it was, when no entry applies. The outgroup tests
// use the group relations and separator of `target`'s search, and leave out the leaves `target`
// selects. With `changes`, the rooting is kept there, so that it can be undone. With `matched`, it
// receives, for each of the list's distinct outgroups, whether some leaf of the tree passes its
// test (target leaves included), whichever entry applied. With `strays`, it receives the leaves
// that broke the outgroup that rooted the tree (see RootList::max_strays), in file order; none
// for any other entry. With `shared`, the midpoint is taken from it when it holds one, else
// found and left there; the tree must then stand as it did when `shared` was filled. With
// `file_order`, it receives the leaves in file order when an entry moves the root (as read:
// before it moves), and stays empty otherwise.
//
// Each leaf is matched against every outgroup at once, in one walk: the midpoint's own when the
// list may come to its midpoint (so that a list none of whose outgroups applies walks the tree
// once, keeping only the midpoint's records), else one that numbers the leaves. An outgroup that
// holds some leaves but not all then costs the numbering of the leaves (one more walk when the
// midpoint's was made) and the leaves it holds.
const RootEntry* root_by_list(Phylogeny& tree, const RootList& list, const TargetTest& target,
                              const GroupRelations& groups, char separator,
                              TreeChanges* changes = nullptr, std::vector<bool>* matched = nullptr,
                              std::vector<NodeRef>* strays = nullptr,
                              SharedRootPlaces* shared = nullptr,
                              std::vector<NodeRef>* file_order = nullptr);

}  // namespace tavrin

#endif  // TAVRIN_ANALYSIS_ROOT_LIST_H
