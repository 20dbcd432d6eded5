// Moving the root onto an edge: every link and value along the reversed path, the old root's
// slots afterwards, and the mirrored placements of the chosen child and the remaining child.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "support/tree_check.h"
#include "tree/phylogeny.h"

namespace tavrin {

namespace {

using tree_check::check_links;
using tree_check::leaf_names;
using tree_check::node_count;
using tree_check::preorder;
using tree_check::shape;

Phylogeny_Node* leaf(Phylogeny_Node* root, const std::string& name) {
    for (Phylogeny_Node* node : preorder(root)) {
        if (node->is_leaf && node->name == name) return node;
    }
    return nullptr;
}

testing::AssertionResult links_are(const Phylogeny_Node* node, const Phylogeny_Node* left,
                                   const Phylogeny_Node* right, const Phylogeny_Node* parent) {
    if (node->left == left && node->right == right && node->parent == parent) {
        return testing::AssertionSuccess();
    }
    return testing::AssertionFailure() << "left " << (node->left == left ? "ok" : "WRONG")
                                       << ", right " << (node->right == right ? "ok" : "WRONG")
                                       << ", parent " << (node->parent == parent ? "ok" : "WRONG");
}

testing::AssertionResult values_are(const Phylogeny_Node* node, double support, double length) {
    if (node->support == support && node->length == length) return testing::AssertionSuccess();
    return testing::AssertionFailure() << "support " << node->support << ", length " << node->length
                                       << "; want " << support << ", " << length;
}

std::vector<std::string> sorted_leaves(const Phylogeny_Node* root) {
    std::vector<std::string> names = leaf_names(root);
    std::sort(names.begin(), names.end());
    return names;
}

// Reroots `tree` on the edge from `a` to `b`, installs the new root and hands the old one to the
// tree; checks that the links hold and that no leaf or node was gained or lost.
Phylogeny_Node* reroot_and_check(Phylogeny& tree, Phylogeny_Node* a, Phylogeny_Node* b) {
    const std::vector<std::string> leaves = sorted_leaves(tree.root);
    const size_t nodes = node_count(tree.root);
    Phylogeny_Node* old_root = tree.root;
    Phylogeny_Node* new_root = Phylogeny::reroot(a, b, old_root);
    tree.root = new_root;
    tree.retire_node(old_root);
    EXPECT_EQ(check_links(tree.root), "");
    EXPECT_EQ(sorted_leaves(tree.root), leaves);
    EXPECT_EQ(node_count(tree.root), nodes);
    return new_root;
}

void expect_fresh_root(const Phylogeny_Node* m) {
    EXPECT_FALSE(m->is_leaf);
    EXPECT_EQ(m->name, "");
    EXPECT_EQ(m->label, 0);
    EXPECT_EQ(m->changes, nullptr);
}

TEST(Reroot, TwoStepPath) {
    Phylogeny tree("((ant:1,bee:2)80:0.1,(cod:3,(dog:4,eel:5)70:0.3)60:0.2);");
    Phylogeny_Node* r = tree.root;
    Phylogeny_Node* p = r->left;
    Phylogeny_Node* q = r->right;
    Phylogeny_Node* x = q->right;
    Phylogeny_Node* dog = x->left;
    Phylogeny_Node* eel = x->right;
    Phylogeny_Node* cod = q->left;

    Phylogeny_Node* m = reroot_and_check(tree, x, dog);

    EXPECT_EQ(shape(m), "(dog,((cod,(ant,bee)),eel))");
    expect_fresh_root(m);
    EXPECT_TRUE(links_are(m, dog, x, nullptr));
    EXPECT_TRUE(values_are(m, 70, 0.3));
    EXPECT_TRUE(links_are(x, q, eel, m));
    EXPECT_TRUE(values_are(x, 70, 0.3));
    EXPECT_TRUE(links_are(q, cod, p, x));
    EXPECT_TRUE(values_are(q, 70, 0.3));
    EXPECT_TRUE(links_are(p, p->left, p->right, q));
    EXPECT_TRUE(values_are(p, 80, 0.1));
    EXPECT_EQ(shape(p), "(ant,bee)");
    // The old root keeps its remaining child and names its last path node as parent.
    EXPECT_TRUE(links_are(r, p, nullptr, q));
    EXPECT_TRUE(values_are(r, 70, 0.3));
    // Leaves move with their holders and keep their own values.
    EXPECT_EQ(dog->parent, m);
    EXPECT_EQ(eel->parent, x);
    EXPECT_EQ(cod->parent, q);
    EXPECT_TRUE(values_are(dog, 0, 4));
    EXPECT_TRUE(values_are(eel, 0, 5));
    EXPECT_TRUE(values_are(cod, 0, 3));
}

TEST(Reroot, LongerPathCarriesTheChosenNodesValuesAllTheWayUp) {
    Phylogeny tree("((((dog:4,eel:5)70:0.3,cod:3)60:0.2,bee:2)50:0.1,ant:1);");
    Phylogeny_Node* r = tree.root;
    Phylogeny_Node* y = r->left;
    Phylogeny_Node* q = y->left;
    Phylogeny_Node* x = q->left;
    Phylogeny_Node* dog = x->left;
    Phylogeny_Node* eel = x->right;
    Phylogeny_Node* cod = q->right;
    Phylogeny_Node* bee = y->right;
    Phylogeny_Node* ant = r->right;

    Phylogeny_Node* m = reroot_and_check(tree, x, dog);

    EXPECT_EQ(shape(m), "(dog,(((ant,bee),cod),eel))");
    expect_fresh_root(m);
    EXPECT_TRUE(links_are(m, dog, x, nullptr));
    EXPECT_TRUE(links_are(x, q, eel, m));
    EXPECT_TRUE(links_are(q, y, cod, x));
    EXPECT_TRUE(links_are(y, ant, bee, q));
    EXPECT_TRUE(links_are(r, nullptr, ant, y));
    EXPECT_EQ(ant->parent, y);
    for (const Phylogeny_Node* node : {m, x, q, y, r})
        EXPECT_TRUE(values_are(node, 70, 0.3));
    EXPECT_TRUE(values_are(ant, 0, 1));
    EXPECT_TRUE(values_are(bee, 0, 2));
}

TEST(Reroot, ChosenChildOnTheRightOrInternal) {
    {
        Phylogeny tree("((ant,bee)80:0.1,(cod,(dog,eel)70:0.3)60:0.2);");
        Phylogeny_Node* q = tree.root->right;
        Phylogeny_Node* x = q->right;
        Phylogeny_Node* dog = x->left;
        Phylogeny_Node* eel = x->right;
        Phylogeny_Node* m = reroot_and_check(tree, x, eel);
        EXPECT_EQ(shape(m), "(eel,(dog,(cod,(ant,bee))))");
        EXPECT_TRUE(links_are(m, eel, x, nullptr));
        EXPECT_TRUE(links_are(x, dog, q, m));
        EXPECT_TRUE(values_are(m, 70, 0.3));
    }
    {
        // The edge above an internal node: the whole subtree moves under the new root.
        Phylogeny tree("((ant,bee)80:0.1,(cod,(dog,eel)70:0.3)60:0.2);");
        Phylogeny_Node* r = tree.root;
        Phylogeny_Node* p = r->left;
        Phylogeny_Node* q = r->right;
        Phylogeny_Node* x = q->right;
        Phylogeny_Node* cod = q->left;
        Phylogeny_Node* m = reroot_and_check(tree, q, x);
        EXPECT_EQ(shape(m), "((dog,eel),(cod,(ant,bee)))");
        EXPECT_TRUE(links_are(m, x, q, nullptr));
        EXPECT_TRUE(links_are(q, cod, p, m));
        EXPECT_TRUE(links_are(r, p, nullptr, q));
        EXPECT_TRUE(values_are(m, 60, 0.2));
        EXPECT_TRUE(values_are(r, 60, 0.2));
        EXPECT_TRUE(values_are(q, 60, 0.2));
        EXPECT_TRUE(values_are(x, 70, 0.3));
        EXPECT_TRUE(values_are(p, 80, 0.1));
    }
}

TEST(Reroot, OneStepPathWithRemainingChildOnEitherSide) {
    {
        Phylogeny tree("((A:1,B:2)90:0.5,(C:3,D:4)80:0.7);");
        Phylogeny_Node* r = tree.root;
        Phylogeny_Node* a = r->left;
        Phylogeny_Node* w = r->right;
        Phylogeny_Node* leaf_a = a->left;
        Phylogeny_Node* leaf_b = a->right;
        Phylogeny_Node* m = reroot_and_check(tree, a, leaf_a);
        EXPECT_EQ(shape(m), "(A,((C,D),B))");
        EXPECT_TRUE(links_are(m, leaf_a, a, nullptr));
        EXPECT_TRUE(links_are(a, w, leaf_b, m));
        EXPECT_TRUE(links_are(r, nullptr, w, a));
        EXPECT_EQ(w->parent, a);
        EXPECT_TRUE(values_are(m, 90, 0.5));
        EXPECT_TRUE(values_are(r, 90, 0.5));
        EXPECT_TRUE(values_are(w, 80, 0.7));
        EXPECT_TRUE(values_are(leaf_a, 0, 1));
    }
    {
        Phylogeny tree("((C:3,D:4)80:0.7,(A:1,B:2)90:0.5);");
        Phylogeny_Node* r = tree.root;
        Phylogeny_Node* w = r->left;
        Phylogeny_Node* a = r->right;
        Phylogeny_Node* leaf_a = a->left;
        Phylogeny_Node* leaf_b = a->right;
        Phylogeny_Node* m = reroot_and_check(tree, a, leaf_b);
        EXPECT_EQ(shape(m), "(B,(A,(C,D)))");
        EXPECT_TRUE(links_are(m, leaf_b, a, nullptr));
        EXPECT_TRUE(links_are(a, leaf_a, w, m));
        EXPECT_TRUE(links_are(r, w, nullptr, a));
        EXPECT_EQ(w->parent, a);
        EXPECT_TRUE(values_are(r, 90, 0.5));
    }
}

TEST(Reroot, OldRootBelowAnotherNodeIsReplacedInPlace) {
    for (const bool on_left : {true, false}) {
        SCOPED_TRACE(on_left ? "old root in its parent's left slot" : "in the right slot");
        Phylogeny tree(on_left ? "(((A,B)90:0.5,(C,D)80:0.7)60:0.4,E);"
                               : "(E,((A,B)90:0.5,(C,D)80:0.7)60:0.4);");
        Phylogeny_Node* g = tree.root;
        Phylogeny_Node* r = on_left ? g->left : g->right;
        Phylogeny_Node* e = on_left ? g->right : g->left;
        Phylogeny_Node* a = r->left;
        Phylogeny_Node* w = r->right;
        const size_t nodes = node_count(g);

        Phylogeny_Node* m = Phylogeny::reroot(a, a->left, r);
        tree.retire_node(r);

        EXPECT_EQ(tree.root, g);
        EXPECT_EQ(m->parent, g);
        EXPECT_EQ(on_left ? g->left : g->right, m);
        EXPECT_EQ(on_left ? g->right : g->left, e);
        EXPECT_EQ(check_links(g), "");
        EXPECT_EQ(node_count(g), nodes);
        EXPECT_EQ(shape(m), "(A,((C,D),B))");
        EXPECT_TRUE(links_are(r, nullptr, w, a));
        EXPECT_TRUE(values_are(m, 90, 0.5));
        EXPECT_TRUE(values_are(r, 90, 0.5));
    }
}

TEST(Reroot, RerootingTwiceKeepsTheTreeSound) {
    Phylogeny tree("(((A,B)1:1,(C,D)2:2)3:3,((E,F)4:4,G:5)6:6);");
    Phylogeny_Node* ab = tree.root->left->left;
    reroot_and_check(tree, ab, ab->right);
    Phylogeny_Node* ef = leaf(tree.root, "E")->parent;
    reroot_and_check(tree, ef, ef->left);
    EXPECT_EQ(shape(tree.root), "(E,((((A,B),(C,D)),G),F))");
}

}  // namespace

}  // namespace tavrin
