// The steps of one analysis, in the order it takes them: the target test and search, sister
// naming, the parent fold, the support. analyse (analysis/pipeline.h) runs them for the
// driver; the contract's Tavrin class (contract/tavrin.h) exposes them one by one.
#ifndef TAVRIN_ANALYSIS_STEPS_H
#define TAVRIN_ANALYSIS_STEPS_H

#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "analysis/group_relations.h"
#include "analysis/leaf_matching.h"
#include "tree/node_ref.h"
#include "tree/phylogeny.h"

namespace tavrin {

class TreeChanges;

// Is `leaf` a target leaf: does its name pass the matcher, or is its leaf prefix (the name up to
// its first `separator`) the search prefix or a member of it taken as a group?
class TargetTest {
public:
    TargetTest(const LeafMatcher& matcher, const GroupRelations& groups, std::string_view prefix,
               char separator);
    bool operator()(NodeRef leaf) const { return here()(leaf); }

    // This thread's answers of the test, kept by leaf number and by leaf prefix.
    struct Answers;
    // The test as this thread asks it, its answers at hand: for a walk that tests many leaves.
    // Valid while no other test is asked on the thread.
    class Here {
    public:
        bool operator()(NodeRef leaf) const {
            const std::uint32_t key = leaf.leaf_key();
            if (known_ != nullptr && key < known_->size()) {
                const std::uint8_t known = (*known_)[key];
                if (known <= 1) return known != 0;
            }
            return test_.answer(leaf, answers_);
        }

    private:
        friend class TargetTest;
        Here(const TargetTest& test, Answers* answers, const std::vector<std::uint8_t>* known)
            : test_(test), answers_(answers), known_(known) {}
        const TargetTest& test_;
        Answers* answers_;                        // absent when names are tested whole
        const std::vector<std::uint8_t>* known_;  // by leaf number: 0, 1, or not known yet
    };
    Here here() const;

    // Whether the answer depends on a leaf's prefix alone, cut at separator().
    bool decided_by_prefix() const { return by_prefix_; }
    char separator() const { return separator_; }
    // The answer for the leaves whose prefix is numbered `key` in this thread's LeafKeys table
    // (cut at separator()), for a test decided by the prefix.
    bool passes_key(std::uint32_t key) const;

private:
    bool answer(NodeRef leaf, Answers* answers) const;
    bool by_name(std::string_view name) const;

    const LeafMatcher& matcher_;
    const GroupRelations& groups_;
    std::string_view prefix_;
    char separator_;
    // Whether the answer is decided by the leaf prefix; the answers by prefix are then kept per
    // thread, for the test numbered `serial_` (a test is shared by the trees of a run).
    bool by_prefix_;
    std::uint64_t serial_;
};

// Where the target search stands: a search that has rerooted the tree makes no other reroot,
// and once the target group is found not to be a clade every level answers none.
struct SearchState {
    bool rerooted = false;     // the tree has been rerooted
    bool not_a_clade = false;  // the target group is not a clade
};

// What a target search found, and the state it ends in.
struct SearchResult {
    NodeRef target = nullptr;
    SearchState state;
    // The target leaves the search tested: all of them when the search ends with both flags
    // clear, since it then tests every leaf once.
    std::size_t tested = 0;
    // When the search rerooted the tree: what its full search of the new root answered, the
    // same as a search of the new root begun with `rerooted` set would answer.
    NodeRef restart_target = nullptr;
    SearchState restart_state;
};

// The target search from `start`, beginning in `state`: none, `start` itself when every leaf
// below it is a target leaf, or the node strictly inside it whose leaves are exactly its target
// leaves. At most once, and only while `state.rerooted` is clear, it reroots `tree` (which may be
// absent: no reroot is made then) and searches the new root in full, answering what that
// answers. With `changes`, the reroot is kept there, so that it can be undone.
SearchResult search_target(Phylogeny* tree, NodeRef start, const TargetTest& test,
                           SearchState state = {}, TreeChanges* changes = nullptr);

// The clades examined for each sister: entry i for sister i (those whose names gave it), kept
// when no name fits them too (past the last sister named); empty when nothing was examined.
using SisterClades = std::array<std::vector<NodeRef>, 2>;

// The purity that names a clade only by a name every leaf passes (clade_name); below it, a name
// holds a clade that that share of its leaves pass, its strays scattered (NamingRule,
// clade_name_at_purity).
constexpr double kWholePurity = 1;

// The sister names of a target, and whether its parent is to be folded out of the tree.
struct Sisters {
    std::vector<std::string> names;  // 0, 1 or 2 names, none empty, two of them different
    // The sibling and the rest of the tree got one name, and the parent is not the root.
    bool fold_parent = false;
    SisterClades clades;  // with a folded parent, the sibling among those of the first
    // The leaves that the clades named by their own name hold outside it, left to right: those
    // of the clade whose name is the first sister (the sibling, or a half of a sibling across
    // the root) and of the second half across the root when its name is the second sister. A
    // single leaf is never a stray of its own name, and the clades of the upward walk list
    // none. Empty when the rule tolerates no stray.
    std::vector<NodeRef> strays;
};

// The names of clades of two or more leaves found in one tree while it stands alike for the
// analyses of several targets (rooted in one place that no target chose, no leaf taken out):
// their upward walks name many of the same clades. A clade is known by the ends of the left and
// of the right spine below it, which tell apart the nodes of one rooted tree however often its
// root node was made anew.
using KnownCladeNames = std::map<std::pair<NodeRef, NodeRef>, std::string>;

// The sister names of `target` (absent: none), every clade of two or more leaves named by
// `rule`. Reads the tree only. Leaf prefixes end at the rule's separator, here and in the
// operations below. With `known`, names are taken from it and added to it.
Sisters name_sisters(const Phylogeny& tree, NodeRef target, const NamingRule& rule,
                     KnownCladeNames* known = nullptr);

// Takes the target's parent out of `tree`: the target hangs from its grandparent, which keeps
// the larger of the two supports, and the target's former sibling leaves with the parent. The
// support read afterwards is the grandparent's.
void fold_parent(Phylogeny& tree, NodeRef target);

// The support of the node joining `target` to its first sister (of the sibling across the
// root). With `folded`, as fold_parent would leave it, without changing the tree: the target
// read as hanging from its grandparent, which carries the larger of the two supports.
double support_value(const Phylogeny& tree, NodeRef target, bool folded = false);
// The node that support is read from: the joining node, or the sibling across the root.
NodeRef support_node(const Phylogeny& tree, NodeRef target, bool folded = false);
// Whether "n/a" replaces that support: a single sister across the root (the joining node, read
// with `folded` as support_value reads it, is the root) to which the sibling on the other side
// belongs: a leaf sibling passes the sister's name; a larger one is held by it by `rule`
// (wholly at purity 1; else with enough of its leaves passing it and its strays scattered).
bool support_not_applicable(const Phylogeny& tree, NodeRef target,
                            const std::vector<std::string>& sisters, const NamingRule& rule,
                            bool folded = false);

// The clade name of `n`: its shared leaf prefix or the first group holding all its leaves; a
// single leaf is named by its rendered prefix (its text "name:length" cut before its first
// `separator`); empty when nothing fits.
std::string clade_name(const GroupRelations& groups, NodeRef n, char separator);
// Does every leaf below `n` pass the group test for `group`? False for an absent node.
bool wholly_in_group(const GroupRelations& groups, NodeRef n, std::string_view group,
                     char separator);

// The clade name of `n` by `rule`. Below purity 1 (and above 0.5) a clade of two or more leaves
// is named by the most specific name that holds it (see GroupRelations::most_specific_holding):
// its leaf prefixes in the order the leaves first carry them, then the groups holding them in
// list order, are the candidates; among those that at least the share `purity` of the leaves
// pass and whose other leaves form no clade of two or more below `n`, the one that the fewest
// leaves pass, the earlier on a tie. A single leaf, and every node by a rule that tolerates no
// stray, is named by clade_name. One walk over the leaves, without recursion.
std::string clade_name_at_purity(const NamingRule& rule, NodeRef n);

// How many leaves a subtree holds, how many of them pass the group test for a name, and how
// many cherries below the subtree's top node are made of two leaves that fail it.
struct GroupTally {
    std::size_t leaves = 0;
    std::size_t passing = 0;
    std::size_t stray_cherries = 0;
};
// Tallies the leaves below `n` (none when absent) against the group test for `group`; with
// `outside`, appends the leaves that fail it there, left to right.
GroupTally tally_group(const GroupRelations& groups, NodeRef n, std::string_view group,
                       char separator, std::vector<NodeRef>* outside = nullptr);

}  // namespace tavrin

#endif  // TAVRIN_ANALYSIS_STEPS_H
