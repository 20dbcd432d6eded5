// Releasing a tree: the nodes it holds and the nodes taken out of it while it was analysed (the
// loop that releases a subtree is beside the node pool, in node_pool.cpp). The constructor that
// reads a node from text lives beside the reader it calls; the tree's reading constructor,
// rendering and copy belong to the contract library (src/contract).
#include "tree/phylogeny.h"

#include <atomic>

namespace tavrin {

Phylogeny::~Phylogeny() {
    // Nodes retired alone may still point into the tree or at each other: cut their links
    // before releasing anything.
    for (auto& [node, with_subtree] : retired_) {
        if (!with_subtree) node->left = node->right = nullptr;
    }
    for (auto& [node, with_subtree] : retired_)
        delete node;
    delete root;
}

void Phylogeny::retire_node(Phylogeny_Node* node) {
    if (node) retired_.emplace_back(node, false);
}

void Phylogeny::retire_subtree(Phylogeny_Node* node) {
    if (node) retired_.emplace_back(node, true);
}

namespace {

// Whether the trees still held when their threads end are left to the process's exit.
std::atomic<bool>& trees_left_to_exit() {
    static std::atomic<bool> left{false};
    return left;
}

// The tree a thread handed over last.
class SpentTree {
public:
    SpentTree() = default;
    SpentTree(const SpentTree&) = delete;
    SpentTree& operator=(const SpentTree&) = delete;
    ~SpentTree() {
#if defined(TAVRIN_TREES_LEFT_TO_EXIT) && TAVRIN_TREES_LEFT_TO_EXIT
        if (trees_left_to_exit().load(std::memory_order_relaxed)) {
            (void)tree.release();  // the process is ending: its memory goes back whole
            return;
        }
#endif
    }
    std::unique_ptr<Phylogeny> tree;

    // This thread's. Made when the thread first hands over a tree, after the thread made that
    // tree's nodes, so that it ends before the pool they came from.
    static SpentTree& local() {
        thread_local SpentTree spent;
        made() = true;
        return spent;
    }
    // Whether this thread's was made.
    static bool& made() {
        thread_local bool was_made = false;
        return was_made;
    }
};

}  // namespace

void spend_tree(std::unique_ptr<Phylogeny> tree) {
    if (tree == nullptr || (tree->root == nullptr && !tree->compact_nodes)) return;  // nothing
    SpentTree::local().tree.swap(tree);  // the tree held before is released on leaving
}

void release_spent_tree() {
    if (SpentTree::made()) SpentTree::local().tree.reset();
}

void leave_spent_trees_to_exit() {
    trees_left_to_exit().store(true, std::memory_order_relaxed);
}

}  // namespace tavrin
