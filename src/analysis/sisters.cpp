// Sister collection: the clade next to the target, and the rest of the tree merged into one name
// on the way up to the root.
#include <array>
#include <cstddef>
#include <string>
#include <utility>
#include <vector>

#include "analysis/steps.h"

namespace tavrin {

namespace {

// The upward walk takes at most this many steps before the root step; clades further out are
// left unread.
constexpr int kMaxWalkSteps = 11;

// One step of the upward walk: the name gathered so far meets the name of the next clade out.
// The wider of the two wins (the gathered name when each holds the other); when neither holds
// the other, the first group holding both, or nothing at the root step.
std::string merge_outward(const GroupRelations& groups, const std::string& gathered,
                          const std::string& next, bool at_root) {
    if (groups.same_group(next, gathered)) {
        return groups.same_group(gathered, next) ? next : gathered;
    }
    if (groups.same_group(gathered, next)) return next;
    return at_root ? std::string() : groups.lowest_common_group(next, gathered);
}

// The end of the spine below `n` that follows `child` down: a leaf, or the first node on the way
// that lacks that child.
NodeRef spine_end(NodeRef n, NodeRef (NodeRef::*child)() const) {
    while (!n.is_leaf() && (n.*child)() != nullptr)
        n = (n.*child)();
    return n;
}

// Names clades by the rule of the run, and keeps the names of larger clades in `known`.
struct CladeNamer {
    const NamingRule& rule;
    KnownCladeNames* known;

    std::string operator()(NodeRef n) const {
        if (known == nullptr || n == nullptr || n.is_leaf()) return clade_name_at_purity(rule, n);
        const auto key =
            std::make_pair(spine_end(n, &NodeRef::left), spine_end(n, &NodeRef::right));
        const auto found = known->find(key);
        if (found != known->end()) return found->second;
        return known->emplace(key, clade_name_at_purity(rule, n)).first->second;
    }
};

// The names being collected, the clades each one was made of, and the clades whose own name
// each one is, whose leaves outside that name are strays: the sibling, or the halves of a
// sibling across the root (absent for a name the upward walk gathered).
struct Draft {
    std::string first, second;
    SisterClades gave;
    std::array<NodeRef, 2> own{};
};

// The upward walk from the uncle `current`: its name, merged with the name of each clade off
// the path further out, up to the root's other child when the walk gets there.
void walk_upward(NodeRef root, NodeRef current, const CladeNamer& name_of, Draft& draft) {
    std::string& second = draft.second;
    second = name_of(current);
    // A name that no group joins (empty) ends the walk early.
    for (int steps = 0; steps < kMaxWalkSteps && !second.empty(); ++steps) {
        if (current.parent().parent() == root) break;
        current = current.parent().sibling();
        second = merge_outward(name_of.rule.groups, second, name_of(current), false);
        draft.gave[1].push_back(current);
    }
    if (current.parent().parent() == root) {
        current = current.parent().sibling();
        second = merge_outward(name_of.rule.groups, second, name_of(current), true);
        draft.gave[1].push_back(current);
    }
}

// The two names before they are adjusted, for the target `t` whose parent is present.
Draft draft_sisters(NodeRef root, NodeRef t, const CladeNamer& name_of) {
    Draft draft;
    NodeRef s = t.sibling();
    if (t.parent() == root) {
        // Across the root: the halves of the sibling, not the sibling's own name.
        if (s.is_leaf()) {
            draft.first = name_of(s);
            draft.gave[0] = {s};
            draft.own = {s, nullptr};
        } else {
            draft.first = name_of(s.left());
            draft.second = name_of(s.right());
            draft.gave = {{{s.left()}, {s.right()}}};
            draft.own = {s.left(), s.right()};
        }
        return draft;
    }
    draft.first = name_of(s);
    NodeRef uncle = t.parent().sibling();
    draft.gave = {{{s}, {uncle}}};
    draft.own = {s, nullptr};
    if (t.parent().parent() == root) {
        // The uncle's stored name: the whole leaf name, or empty for an internal node.
        draft.second = uncle.name();
    } else {
        walk_upward(root, uncle, name_of, draft);
    }
    return draft;
}

// The leaves of the clades named by their own name that do not pass the name published for
// them. A single leaf is never a stray of its own name.
std::vector<NodeRef> strays_of(const Draft& draft, const std::vector<std::string>& names,
                               const CladeNamer& name_of) {
    std::vector<NodeRef> strays;
    for (std::size_t k = 0; k < names.size(); ++k) {
        NodeRef clade = draft.own[k];
        if (clade == nullptr || clade.is_leaf()) continue;
        tally_group(name_of.rule.groups, clade, names[k], name_of.rule.separator, &strays);
    }
    return strays;
}

}  // namespace

void fold_parent(Phylogeny& tree, NodeRef target) {
    NodeRef parent = target.parent();
    NodeRef grandparent = parent.parent();
    NodeRef former_sibling = target.sibling();
    if (parent.support() > grandparent.support()) grandparent.set_support(parent.support());
    grandparent.replace_child(parent, target);
    target.set_parent(grandparent);
    retire_node(tree, parent);
    retire_subtree(tree, former_sibling);
}

Sisters name_sisters(const Phylogeny& tree, NodeRef target, const NamingRule& rule,
                     KnownCladeNames* known) {
    Sisters sisters;
    if (target == nullptr || target.parent() == nullptr) return sisters;
    const CladeNamer name_of{rule, known};
    Draft draft = draft_sisters(root_of(tree), target, name_of);

    if (draft.first.empty() && !draft.second.empty()) {
        draft.first.swap(draft.second);
        // The sibling, which no name fits, stays examined second.
        draft.gave[0].swap(draft.gave[1]);
        draft.own = {draft.own[1], nullptr};
    }
    if (draft.first == draft.second) {
        sisters.fold_parent = target.parent().parent() != nullptr;
        draft.second.clear();
        // Two empty names leave each examined clade with its own side.
        if (!draft.first.empty()) {
            draft.gave[0].insert(draft.gave[0].end(), draft.gave[1].begin(), draft.gave[1].end());
            draft.gave[1].clear();
        }
    }
    if (!draft.first.empty()) sisters.names.push_back(draft.first);
    if (!draft.second.empty()) sisters.names.push_back(draft.second);
    sisters.clades = std::move(draft.gave);
    if (rule.tolerates_strays()) sisters.strays = strays_of(draft, sisters.names, name_of);
    return sisters;
}

}  // namespace tavrin
