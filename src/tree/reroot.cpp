#include "tree/node_ref.h"
#include "tree/phylogeny.h"
#include "tree/tree_changes.h"

namespace tavrin {

namespace {

// Keeps, before a reroot, every node it changes: a, b, the path from a's parent up to r, and r's
// child off the path.
template <typename Ref>
void keep_path(Ref a, Ref b, Ref r, TreeChanges& changes) {
    changes.prepare_for_path();
    changes.keep(a);
    changes.keep(b);
    Ref below = a;
    for (Ref node = a.parent(); node != nullptr; node = node.parent()) {
        changes.keep(node);
        if (node == r) {
            changes.keep(r.other_child(below));
            break;
        }
        below = node;
    }
    changes.keep(r.parent());
}

// The rewiring both reroots share, `m` the node made to be the new root. With `as_read`, each
// node of the reversed path takes the values its former child had as read; without, the values
// its former child has just received, so that all of them end with a's.
template <typename Ref>
Ref rewire(Ref a, Ref b, Ref r, Ref m, TreeChanges* changes, bool as_read) {
    if (changes != nullptr) keep_path(a, b, r, *changes);
    // The new root M sits on the edge a-b: b on its left, a on its right, with a's values.
    if (changes != nullptr) changes->made(m);
    m.set_left(b);
    m.set_support(a.support());
    m.set_length(a.length());
    m.set_right(a);

    Ref p1 = a.parent();
    a.replace_child(b, p1);

    m.set_parent(r.parent());
    if (r.parent()) r.parent().replace_child(r, m);

    a.set_parent(m);
    b.set_parent(m);

    // Reverse the path a = P0, P1, ..., Pk = r; each Pi takes P(i-1)'s values.
    double support = a.support();
    double length = a.length();
    Ref below = a;  // P(i-1)
    Ref node = p1;  // Pi
    while (true) {
        Ref above = node.parent();  // P(i+1), or r's parent at the top
        const bool at_old_root = node == r;
        node.replace_child(below, at_old_root ? Ref(nullptr) : above);
        const double read_support = node.support();
        const double read_length = node.length();
        node.set_support(support);
        node.set_length(length);
        if (as_read) {
            support = read_support;
            length = read_length;
        }
        node.set_parent(below);
        if (at_old_root) break;
        below = node;
        node = above;
    }

    // Take r out: its remaining child W (the one beside the slot just emptied) replaces it
    // under P(k-1).
    Ref w = r.other_child(nullptr);
    Ref before_root = r.parent();  // P(k-1)
    before_root.replace_child(r, w);
    if (w) w.set_parent(before_root);
    return m;
}

}  // namespace

NodeRef reroot_at(Phylogeny& tree, NodeRef a, NodeRef b, NodeRef r, TreeChanges* changes,
                  bool keeping_values) {
    const NodeRef m = make_node(tree);
    if (m.compact()) {
        return rewire(a.as_compact(), b.as_compact(), r.as_compact(), m.as_compact(), changes,
                      keeping_values);
    }
    return rewire(a.as_model(), b.as_model(), r.as_model(), m.as_model(), changes, keeping_values);
}

Phylogeny_Node* Phylogeny::reroot(Phylogeny_Node* a, Phylogeny_Node* b, Phylogeny_Node* r) {
    return rewire(ModelRef(a), ModelRef(b), ModelRef(r), ModelRef(new Phylogeny_Node()), nullptr,
                  false)
        .get();
}

Phylogeny_Node* Phylogeny::reroot(Phylogeny_Node* a, Phylogeny_Node* b, Phylogeny_Node* r,
                                  TreeChanges& changes) {
    return rewire(ModelRef(a), ModelRef(b), ModelRef(r), ModelRef(new Phylogeny_Node()), &changes,
                  false)
        .get();
}

}  // namespace tavrin
