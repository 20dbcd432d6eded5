// The tree model: one rooted phylogenetic tree of two-child nodes.
//
// Ownership and links
// - A Phylogeny owns its root; every internal node owns its `left` and `right` children.
//   `parent` is a back link and owns nothing.
// - Every child's `parent` names the node that holds it in `left` or `right`; the root has no
//   parent. Nodes made by the reader always have both children or none.
// - Nodes taken out of the tree while it is analysed (the old root after a reroot, the parent
//   cut out when a target is folded onto its grandparent) are handed to the tree with
//   `retire_node` / `retire_subtree`. They stay valid, links and all, until the tree is
//   destroyed, and are released exactly once, then.
// - No operation here recurses in proportion to the depth of the tree: every walk keeps its own
//   stack, and destroying a node takes its subtree apart in a loop.
#ifndef TAVRIN_TREE_PHYLOGENY_H
#define TAVRIN_TREE_PHYLOGENY_H

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace tavrin {

class TreeChanges;
class Phylogeny_Node;
class CompactStore;

// Releases a compact tree's store (tree/compact_store.cpp).
struct CompactStoreRelease {
    void operator()(CompactStore* store) const noexcept;
};

// Releases the nodes below `top`, not `top` itself: the loop a node's destructor runs when it
// still holds children.
void release_nodes_below(Phylogeny_Node* top);

// A leaf that carries no number for its prefix.
constexpr uint32_t kNoLeafKey = UINT32_MAX;

class Phylogeny_Node {
public:
    double length = 0;     // branch length of the edge to the parent
    double support = 0;    // support value of an internal node; 0 for leaves and when none given
    bool is_leaf = false;  // true for a leaf
    // The number of the leaf's prefix in the table of the thread that analyses the tree
    // (LeafKeys, analysis/leaf_matching.h); kNoLeafKey when it carries none.
    uint32_t leaf_key = kNoLeafKey;
    std::string name;                    // leaf name; empty for internal nodes
    int32_t label = 0;                   // character state of a leaf, for state-change counting
    Phylogeny_Node* left = nullptr;      // owning; first child, absent at a leaf
    Phylogeny_Node* right = nullptr;     // owning; second child, absent at a leaf
    Phylogeny_Node* parent = nullptr;    // not owning; absent at the root
    std::unique_ptr<int32_t[]> changes;  // per-state change counts, 0..highest state

    // An empty internal-looking node: no name, no children, zero values.
    Phylogeny_Node() = default;
    // Reads the node written in `text` and its whole subtree; `parent` becomes its parent.
    Phylogeny_Node(std::string text, Phylogeny_Node* parent);
    // Releases the subtree below the node (iteratively, however deep it is). Inline, so that
    // the release of a node without children, which most are, costs no call.
    ~Phylogeny_Node() {
        if (left != nullptr || right != nullptr) release_nodes_below(this);
    }

    Phylogeny_Node(const Phylogeny_Node&) = delete;
    Phylogeny_Node& operator=(const Phylogeny_Node&) = delete;

    // Nodes come from a per-thread pool of large blocks: a big tree is millions of nodes, and
    // one heap allocation each costs more than reading them. Released nodes are reused.
    static void* operator new(std::size_t size);
    static void operator delete(void* node, std::size_t size) noexcept;

    // The operations below, the tree's reading constructor and its copy are defined in the
    // contract library (src/contract), which only tests and benchmarks link.

    // Newick-like rendering of the subtree with every number written as "%f". The argument
    // does not affect the result.
    std::string print(std::string unused = {}) const;

    // Parsimony count of one discrete character over the subtree (unit cost per change).
    void label_by_name(std::string leaf_name, int state);
    int32_t max_label() const;
    Phylogeny_Node* find_by_name(std::string leaf_name);
    void compute_changes(int highest_state);
    int32_t min_changes();
};

// Tells this thread's node pool that about `count` nodes are about to be made, so that a big
// tree starts on large blocks at once instead of growing into them. Only a hint: more or fewer
// nodes may follow. Does nothing for small counts, or where nodes are allocated one by one.
void expect_nodes(std::size_t count);

class Phylogeny {
public:
    Phylogeny_Node* root = nullptr;  // owning; absent when the text was malformed
    // How many children the text wrote under the root, before the reader folded them into two;
    // 0 when not known (a tree made otherwise, or an odd text the classic dialect reads by its
    // general rules). Three is how inference programs write an unrooted tree.
    std::size_t root_children = 0;
    // The stamp of the LeafKeys table and separator whose numbers the leaves carry (whether all
    // of them do, too); 0 when they carry none.
    std::uint64_t leaf_keys = 0;
    // The nodes of a big tree read for the programs, kept compact (tree/node_ref.h); `root` is then
    // absent, and the tree is reached through root_of.
    std::unique_ptr<CompactStore, CompactStoreRelease> compact_nodes;

    // Reads one tree from the whole text of a tree file. A text whose last character is not
    // ';' is malformed: a message goes to standard error and `root` stays absent. (Contract
    // library; the programs read through TreeReader, tree/tree_reader.h.)
    explicit Phylogeny(std::string text);
    Phylogeny() = default;
    ~Phylogeny();

    Phylogeny(const Phylogeny&) = delete;
    Phylogeny& operator=(const Phylogeny&) = delete;

    // Places a new root on the edge between `a` and its child `b`; `r` is the current root
    // (or any proper ancestor of `a`). The path from `a` up to `r` is reversed in place and `r`
    // is taken out of the tree, its slot that held the path emptied and the other one still
    // naming its remaining child. Returns the new root, which the caller stores.
    static Phylogeny_Node* reroot(Phylogeny_Node* a, Phylogeny_Node* b, Phylogeny_Node* r);
    // The same, keeping in `changes` what it changes, so that it can be undone.
    static Phylogeny_Node* reroot(Phylogeny_Node* a, Phylogeny_Node* b, Phylogeny_Node* r,
                                  TreeChanges& changes);

    // Hands over a node that is no longer part of the tree. It is released with the tree; its
    // child links are not followed (they may point into the tree).
    void retire_node(Phylogeny_Node* node);
    // Hands over a detached subtree, released whole with the tree.
    void retire_subtree(Phylogeny_Node* node);

    // A tree of new nodes with the same shape, child order, names and values (the change counts
    // of state-change counting are not copied). Absent root, absent copy's root. (Contract
    // library.)
    std::unique_ptr<Phylogeny> copy() const;

private:
    // Nodes cut out of the tree, with whether their subtree goes with them.
    std::vector<std::pair<Phylogeny_Node*, bool>> retired_;
};

// Trees whose work is done are handed over here rather than released at once: each thread holds
// the last tree it handed over until it hands over another or calls release_spent_tree (before
// it reads the next tree, so that two big trees are never held together). A program whose
// process ends with its run calls leave_spent_trees_to_exit first: a tree still held when its
// thread ends is then never taken apart node by node, and the system takes the memory back
// whole. Builds with sanitizers release it all the same, so that leak checks see every tree.
void spend_tree(std::unique_ptr<Phylogeny> tree);
void release_spent_tree();
void leave_spent_trees_to_exit();

}  // namespace tavrin

#endif  // TAVRIN_TREE_PHYLOGENY_H
