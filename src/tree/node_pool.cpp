// Where tree nodes come from and go back to: a per-thread pool of slots the size of a node, except
// in builds with sanitizers, which allocate every node on its own so that they see each node's
// lifetime. A subtree is released here, where giving a node back costs no call.
#include <cstddef>
#include <new>

#include "platform/slot_pool.h"
#include "tree/phylogeny.h"

namespace tavrin {

#if defined(TAVRIN_NODE_POOL) && TAVRIN_NODE_POOL

namespace {

using NodePool = tavrin::SlotPool<sizeof(Phylogeny_Node), alignof(Phylogeny_Node)>;

}  // namespace

void expect_nodes(std::size_t count) {
    NodePool::local().expect(count);
}

void* Phylogeny_Node::operator new(std::size_t size) {
    if (size != sizeof(Phylogeny_Node)) return ::operator new(size);
    return NodePool::local().take();
}

void Phylogeny_Node::operator delete(void* node, std::size_t size) noexcept {
    if (node == nullptr) return;
    if (size != sizeof(Phylogeny_Node)) {
        ::operator delete(node);
        return;
    }
    NodePool::local().give(node);
}

#else

void expect_nodes(std::size_t) {}

void* Phylogeny_Node::operator new(std::size_t size) {
    return ::operator new(size);
}

void Phylogeny_Node::operator delete(void* node, std::size_t) noexcept {
    ::operator delete(node);
}

#endif

// Every node below is cut from its children before it is deleted, so no destructor call ever
// reaches below one level, however deep the subtree. No stack either: a node with a left child is
// turned into that child's right one (a rotation; the links of a subtree being released no longer
// matter), and a node without one is released, its right child next. Each rotation brings one node
// onto the right-hand path for good: linear time.
void release_nodes_below(Phylogeny_Node* top) {
    Phylogeny_Node* const children[] = {top->left, top->right};
    top->left = top->right = nullptr;
    for (Phylogeny_Node* n : children) {
        while (n != nullptr) {
            Phylogeny_Node* const l = n->left;
            if (l != nullptr) {
                n->left = l->right;
                l->right = n;
                n = l;
            } else {
                Phylogeny_Node* const r = n->right;
                n->right = nullptr;
                delete n;  // childless now: its destructor only releases its own members
                n = r;
            }
        }
    }
}

}  // namespace tavrin
