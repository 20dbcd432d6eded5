#include "tree/phylogeny.h"
#include "tree/tree_changes.h"

namespace tavrin {

namespace {

// The child slot of `holder` that holds `child`: left when it is the left child, else right.
Phylogeny_Node*& slot_of(Phylogeny_Node* holder, const Phylogeny_Node* child) {
    return holder->left == child ? holder->left : holder->right;
}

// Keeps, before a reroot, every node it changes: a, b, the path from a's parent up to r, and r's
// child off the path.
void keep_path(Phylogeny_Node* a, Phylogeny_Node* b, Phylogeny_Node* r, TreeChanges& changes) {
    changes.keep(a);
    changes.keep(b);
    Phylogeny_Node* below = a;
    for (Phylogeny_Node* node = a->parent; node != nullptr; node = node->parent) {
        changes.keep(node);
        if (node == r) {
            changes.keep(other_child(r, below));
            break;
        }
        below = node;
    }
    changes.keep(r->parent);
}

// The rewiring both reroots share. With `as_read`, each node of the reversed path takes the
// values its former child had as read; without, the values its former child has just received,
// so that all of them end with a's. With `changes`, what it changes is kept there.
Phylogeny_Node* reroot_path(Phylogeny_Node* a, Phylogeny_Node* b, Phylogeny_Node* r, bool as_read,
                            TreeChanges* changes) {
    if (changes != nullptr) keep_path(a, b, r, *changes);
    // The new root M sits on the edge a-b: b on its left, a on its right, with a's values.
    Phylogeny_Node* m = new Phylogeny_Node();
    if (changes != nullptr) changes->made(m);
    m->left = b;
    m->support = a->support;
    m->length = a->length;
    m->right = a;

    Phylogeny_Node* p1 = a->parent;
    slot_of(a, b) = p1;

    m->parent = r->parent;
    if (r->parent) slot_of(r->parent, r) = m;

    a->parent = m;
    b->parent = m;

    // Reverse the path a = P0, P1, ..., Pk = r; each Pi takes P(i-1)'s values.
    double support = a->support;
    double length = a->length;
    Phylogeny_Node* below = a;  // P(i-1)
    Phylogeny_Node* node = p1;  // Pi
    while (true) {
        Phylogeny_Node* above = node->parent;  // P(i+1), or r's parent at the top
        const bool at_old_root = node == r;
        slot_of(node, below) = at_old_root ? nullptr : above;
        const double read_support = node->support;
        const double read_length = node->length;
        node->support = support;
        node->length = length;
        if (as_read) {
            support = read_support;
            length = read_length;
        }
        node->parent = below;
        if (at_old_root) break;
        below = node;
        node = above;
    }

    // Take r out: its remaining child W (the one beside the slot just emptied) replaces it
    // under P(k-1).
    Phylogeny_Node* w = other_child(r, nullptr);
    Phylogeny_Node* before_root = r->parent;  // P(k-1)
    slot_of(before_root, r) = w;
    if (w) w->parent = before_root;
    return m;
}

}  // namespace

Phylogeny_Node* Phylogeny::reroot(Phylogeny_Node* a, Phylogeny_Node* b, Phylogeny_Node* r) {
    return reroot_path(a, b, r, false, nullptr);
}

Phylogeny_Node* Phylogeny::reroot(Phylogeny_Node* a, Phylogeny_Node* b, Phylogeny_Node* r,
                                  TreeChanges& changes) {
    return reroot_path(a, b, r, false, &changes);
}

Phylogeny_Node* Phylogeny::reroot_keeping_values(Phylogeny_Node* a, Phylogeny_Node* b,
                                                 Phylogeny_Node* r, TreeChanges* changes) {
    return reroot_path(a, b, r, true, changes);
}

}  // namespace tavrin
