// Rooting a tree read as unrooted: the values every node takes when the root moves to a branch
// (worked by hand, beside those of the contract's reroot, which differ), the merged root branch,
// the midpoint and the outgroup side, leaves taken out of the unrooted tree, and ladders a million
// levels deep.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <random>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "support/tree_check.h"
#include "tree/phylogeny.h"
#include "tree/rooting.h"

namespace tavrin {

namespace {

using tavrin::RootPlace;
using tree_check::check_links;
using tree_check::preorder;
using tree_check::shape;

NodeRef leaf(const Phylogeny& tree, const std::string& name) {
    for (NodeRef node : preorder(tree.root)) {
        if (node.is_leaf() && node.name() == name) return node;
    }
    return nullptr;
}

bool starts_with_o(NodeRef leaf) {
    return leaf.name()[0] == 'o';
}

// "((((dog,eel)X,cod)Q,bee)Y,ant)": the contract's second worked example, with lengths.
const char kLadder[] = "((((dog:1,eel:2)70:0.3,cod:3)60:0.2,bee:4)50:0.1,ant:5);";

TEST(RootOnBranch, DeepBranchKeepsEverySupportOnItsBranch) {
    Phylogeny tree(kLadder);
    tavrin::root_on_branch(tree, RootPlace{leaf(tree, "dog"), 0.25, 0.75});
    ASSERT_EQ(check_links(tree.root), "");
    EXPECT_EQ(shape(tree.root), "(dog,(((ant,bee),cod),eel))");
    // The branch to dog is a leaf's: no support on either half. Q keeps X's 70 (the branch
    // between them), Y keeps Q's 60, and ant's branch takes Y's length into its own.
    EXPECT_EQ(tree.root->print(),
              "(dog:0.250000,(((ant:5.100000,bee:4.000000)60.000000:0.200000,cod:3.000000)"
              "70.000000:0.300000,eel:2.000000)0.000000:0.750000)0.000000:0.000000");
}

TEST(RootOnBranch, ContractRerootGivesThePathOneValueInstead) {
    Phylogeny tree(kLadder);
    NodeRef dog = leaf(tree, "dog");
    NodeRef old_root = tree.root;
    tree.root = Phylogeny::reroot(dog.parent().get(), dog.get(), old_root.get());
    tree.retire_node(old_root.get());
    EXPECT_EQ(tree.root->print(),
              "(dog:1.000000,(((ant:5.000000,bee:4.000000)70.000000:0.300000,cod:3.000000)"
              "70.000000:0.300000,eel:2.000000)70.000000:0.300000)70.000000:0.300000");
}

// P = ((a,b)90,(c,d)40)30 and W = (e,f)60 under the root: the merged root branch has support 60
// and length 0.5.
const char kTwoSides[] = "(((a:1,b:1)90:0.5,(c:1,d:1)40:0.5)30:0.2,(e:1,f:1)60:0.3);";

TEST(RootOnBranch, OldRootsRemainingChildTakesTheMergedBranch) {
    Phylogeny tree(kTwoSides);
    EXPECT_EQ(tavrin::merged_root_support(tree), 60);
    EXPECT_DOUBLE_EQ(tavrin::merged_root_length(tree), 0.5);
    NodeRef ab = leaf(tree, "a").parent();
    tavrin::root_on_branch(tree, RootPlace{ab, 0.125, 0.375});
    ASSERT_EQ(check_links(tree.root), "");
    EXPECT_EQ(shape(tree.root), "((a,b),((e,f),(c,d)))");
    EXPECT_EQ(tree.root->print(),
              "((a:1.000000,b:1.000000)90.000000:0.125000,((e:1.000000,f:1.000000)60.000000:"
              "0.500000,(c:1.000000,d:1.000000)40.000000:0.500000)90.000000:0.375000)"
              "0.000000:0.000000");
}

TEST(RootOnBranch, MergedRootBranchKeepsShapeAndOrder) {
    Phylogeny tree(kTwoSides);
    tavrin::root_on_branch(tree, RootPlace{tavrin::root_of(tree).right(), 0.1, 0.4});
    EXPECT_EQ(shape(tree.root), "(((a,b),(c,d)),(e,f))");
    EXPECT_EQ(tavrin::root_of(tree).left().support(), 60);
    EXPECT_EQ(tavrin::root_of(tree).right().support(), 60);
    EXPECT_DOUBLE_EQ(tavrin::root_of(tree).left().length(), 0.4);
    EXPECT_DOUBLE_EQ(tavrin::root_of(tree).right().length(), 0.1);
    // A leaf at the root: the merged branch is a leaf's, and carries no support.
    Phylogeny small("(a:1,(b:1,c:1)75:2);");
    EXPECT_EQ(tavrin::merged_root_support(small), 0);
    tavrin::root_on_branch(small, RootPlace{tavrin::root_of(small).left(), 1.5, 1.5});
    EXPECT_EQ(tavrin::root_of(small).right().support(), 0);
}

TEST(RootOnBranch, RootingTwiceOnTheSameBranchChangesNothing) {
    Phylogeny tree(kTwoSides);
    tavrin::root_on_branch(tree, RootPlace{leaf(tree, "c").parent(), 0.2, 0.3});
    const std::string once = tree.root->print();
    tavrin::root_on_branch(tree, RootPlace{tavrin::root_of(tree).left(), 0.2, 0.3});
    EXPECT_EQ(tree.root->print(), once);
}

TEST(Midpoint, HalfwayAlongTheLongestPath) {
    // a to c is 8: the root goes 2 into the branch above c, which is 6 long.
    Phylogeny tree("(a:1,(b:2,c:6):1);");
    const auto place = tavrin::UnrootedTree(tree).midpoint_place();
    ASSERT_TRUE(place.has_value());
    EXPECT_EQ(place->below, leaf(tree, "c"));
    EXPECT_DOUBLE_EQ(place->below_part, 4);
    EXPECT_DOUBLE_EQ(place->above_part, 2);
}

TEST(Midpoint, ExactlyOnANodeTakesTheBranchBeyondIt) {
    // a to d is 6; halfway is the node (c,d): the root goes on the branch to d, at its top.
    Phylogeny tree("((a:1,b:1):1,(c:1,d:3):1);");
    const auto place = tavrin::UnrootedTree(tree).midpoint_place();
    ASSERT_TRUE(place.has_value());
    EXPECT_EQ(place->below, leaf(tree, "d"));
    EXPECT_DOUBLE_EQ(place->below_part, 3);
    EXPECT_DOUBLE_EQ(place->above_part, 0);
}

TEST(Midpoint, InsideTheMergedRootBranch) {
    Phylogeny tree("((a:1,b:1):3,(c:1,d:1):1);");
    const auto place = tavrin::UnrootedTree(tree).midpoint_place();
    ASSERT_TRUE(place.has_value());
    EXPECT_EQ(place->below, tavrin::root_of(tree).left());
    EXPECT_DOUBLE_EQ(place->below_part, 2);
    EXPECT_DOUBLE_EQ(place->above_part, 2);
}

TEST(Midpoint, TiesGoToTheFirstLeavesInFileOrder) {
    // Every pair across the root is 4 long: a and c end the path, whose middle is the root.
    Phylogeny tree("((a:1,b:1):1,(c:1,d:1):1);");
    const auto place = tavrin::UnrootedTree(tree).midpoint_place();
    ASSERT_TRUE(place.has_value());
    EXPECT_EQ(place->below, tavrin::root_of(tree).left());
    EXPECT_DOUBLE_EQ(place->below_part, 1);
}

TEST(Midpoint, NoneWithoutLengthsOrLeaves) {
    EXPECT_FALSE(tavrin::UnrootedTree(Phylogeny("((a,b),(c,d));")).midpoint_place().has_value());
    EXPECT_FALSE(tavrin::UnrootedTree(Phylogeny("a:3;")).midpoint_place().has_value());
    EXPECT_FALSE(tavrin::UnrootedTree(Phylogeny("(a:-1,b:-2);")).midpoint_place().has_value());
    // A negative length counts as read.
    const auto place = tavrin::UnrootedTree(Phylogeny("(a:-1,(b:1,c:5):1);")).midpoint_place();
    ASSERT_TRUE(place.has_value());
    EXPECT_DOUBLE_EQ(place->below_part, 3);
}

TEST(Outgroup, OneSideOfABranch) {
    Phylogeny tree("((x1,x2),(x3,(o1,o2):4));");
    const auto place = tavrin::UnrootedTree(tree).outgroup_place(starts_with_o);
    ASSERT_TRUE(place.has_value());
    EXPECT_EQ(place->below, leaf(tree, "o1").parent());
    EXPECT_DOUBLE_EQ(place->below_part, 2);
    EXPECT_DOUBLE_EQ(place->above_part, 2);
}

TEST(Outgroup, NotOneSideTheLargestWins) {
    // o4 sits among the others; the side (o1,(o2,o3)) is the largest wholly outgroup side, and
    // it is one side of the merged root branch.
    Phylogeny tree("((o1,(o2,o3)):1,(x1,(x2,o4)):3);");
    const auto place = tavrin::UnrootedTree(tree).outgroup_place(starts_with_o);
    ASSERT_TRUE(place.has_value());
    EXPECT_EQ(place->below, tavrin::root_of(tree).left());
    EXPECT_DOUBLE_EQ(place->below_part, 2);
}

TEST(Outgroup, NoneWhenSplitEvenlyNoneOrAll) {
    EXPECT_FALSE(
        tavrin::UnrootedTree(Phylogeny("((o1,x1),(o2,x2));")).outgroup_place(starts_with_o));
    EXPECT_FALSE(tavrin::UnrootedTree(Phylogeny("(((o1,o2),x1),((o3,o4),x2));"))
                     .outgroup_place(starts_with_o));
    EXPECT_FALSE(tavrin::UnrootedTree(Phylogeny("((x1,x2),x3);")).outgroup_place(starts_with_o));
    EXPECT_FALSE(tavrin::UnrootedTree(Phylogeny("((o1,o2),o3);")).outgroup_place(starts_with_o));
    EXPECT_FALSE(tavrin::UnrootedTree(Phylogeny("o1;")).outgroup_place(starts_with_o));
    // One outgroup leaf: its own branch.
    Phylogeny one("((x1,x2),(x3,o1:2));");
    const auto place = tavrin::UnrootedTree(one).outgroup_place(starts_with_o);
    ASSERT_TRUE(place.has_value());
    EXPECT_EQ(place->below, leaf(one, "o1"));
}

// The outgroup side by its definition: every side of every branch of the unrooted tree (the
// root's two branches are one, named by its left child) whose leaves are all outgroup leaves,
// the largest kept when no other side has as many. With `max_strays` K above 0 and an outgroup
// that is no side, the sides holding at least three quarters of the outgroup leaves and at most
// K others instead, the fewest others, then the most outgroup leaves, then the fewest leaves
// kept when no other side is as good; `strays` then gets the leaves that break the outgroup.
std::optional<RootPlace> outgroup_side_tried_everywhere(
    const Phylogeny& tree, const std::set<NodeRef>& in, std::size_t max_strays = 0,
    std::vector<std::string>* strays = nullptr) {
    std::vector<NodeRef> leaves;
    for (NodeRef node : preorder(tree.root)) {
        if (node.right() == nullptr) leaves.push_back(node);
    }
    struct Side {
        NodeRef branch;
        bool above;
        std::size_t size, in;
    };
    std::vector<Side> sides;
    for (NodeRef branch : preorder(tree.root)) {
        if (branch == tree.root || branch == tavrin::root_of(tree).right()) continue;
        std::size_t under = 0, under_in = 0;
        for (NodeRef node : preorder(branch)) {
            if (node.right() != nullptr) continue;
            ++under;
            under_in += in.count(node);
        }
        sides.push_back(Side{branch, false, under, under_in});
        sides.push_back(Side{branch, true, leaves.size() - under, in.size() - under_in});
    }
    const bool one_side = std::any_of(sides.begin(), sides.end(), [&](const Side& s) {
        return !in.empty() && s.size == in.size() && s.in == in.size();
    });
    std::size_t best = 0, ties = 0;
    NodeRef below = nullptr;
    if (max_strays > 0 && !one_side) {
        const Side* chosen = nullptr;
        const auto key = [](const Side& s) {
            return std::tuple{s.size - s.in, ~s.in, s.size};  // smaller is better
        };
        for (const Side& s : sides) {
            if (s.size - s.in > max_strays || 4 * s.in < 3 * in.size() || s.size == 0) continue;
            if (chosen == nullptr || key(s) < key(*chosen)) {
                chosen = &s;
                ties = 1;
            } else if (key(s) == key(*chosen)) {
                ++ties;
            }
        }
        if (chosen == nullptr || ties != 1) return std::nullopt;
        below = chosen->branch;
        if (strays != nullptr) {
            std::set<NodeRef> inside;
            for (NodeRef node : preorder(below))
                inside.insert(node);
            for (NodeRef leaf : leaves) {
                const bool on_side = (inside.count(leaf) > 0) != chosen->above;
                if ((in.count(leaf) > 0) != on_side) strays->emplace_back(leaf.name());
            }
        }
        ties = 1;
    }
    for (const Side& s : sides) {
        if (below != nullptr && max_strays > 0 && !one_side) break;
        if (s.size == 0 || s.in != s.size) continue;
        if (s.size > best) {
            best = s.size;
            ties = 0;
            below = s.branch;
        }
        ties += s.size == best;
    }
    if (ties != 1) return std::nullopt;
    const double length =
        below.parent() == tree.root ? tavrin::merged_root_length(tree) : below.length();
    return RootPlace{below, length / 2, length / 2};
}

// A random tree of two-child nodes over `leaves` leaves, each branch of length 1 or 2.
std::string random_binary_tree(std::mt19937& random, std::size_t leaves) {
    std::vector<std::string> parts;
    for (std::size_t i = 0; i < leaves; ++i)
        parts.push_back("t" + std::to_string(i) + (random() % 2 ? ":1" : ":2"));
    while (parts.size() > 1) {
        const std::size_t at = random() % (parts.size() - 1);
        parts[at] = "(" + parts[at] + "," + parts[at + 1] + ")" + (random() % 2 ? ":1" : ":2");
        parts.erase(parts.begin() + static_cast<std::ptrdiff_t>(at) + 1);
    }
    return parts.front() + ";";
}

TEST(Outgroup, LargestSideAsEverySideOfEveryBranchGivesIt) {
    std::mt19937 random(20260311);
    std::size_t tolerant_rooted = 0;  // trees rooted by an outgroup broken by some leaves
    for (int round = 0; round < 3000; ++round) {
        Phylogeny tree(random_binary_tree(random, 1 + random() % 24));
        const tavrin::UnrootedTree view(tree);
        // Outgroup leaves scattered, or a run of consecutive leaves with a few strays, or the
        // leaves outside a subtree (the side above a branch: its leaves at both ends of the
        // file) with a few turned.
        std::set<NodeRef> in;
        const std::size_t n = view.leaf_count();
        const std::size_t from = random() % n, to = from + random() % (n - from + 1);
        const unsigned scatter = 1 + random() % 6;
        NodeRef sub = tree.root;
        for (int step = 1 + random() % 5; step > 0 && !sub.is_leaf(); --step)
            sub = random() % 2 ? sub.left() : sub.right();
        for (std::size_t i = 0; i < n; ++i) {
            NodeRef up = view.leaf(i);
            while (up != nullptr && up != sub)
                up = up.parent();
            const bool taken = round % 3 == 0 ? (i >= from && i < to) || random() % 8 < scatter / 2
                               : round % 3 == 1 ? (up == nullptr) != (random() % 12 == 0)
                                                : random() % 8 < scatter / 2;
            if (taken) in.insert(view.leaf(i));
        }
        const auto place = view.outgroup_place([&](NodeRef leaf) { return in.count(leaf) > 0; });
        const auto expected = outgroup_side_tried_everywhere(tree, in);
        ASSERT_EQ(place.has_value(), expected.has_value()) << tree.root->print();
        // The outgroup broken by a few leaves: up to three.
        std::vector<std::uint32_t> numbers;
        for (std::size_t i = 0; i < n; ++i) {
            if (in.count(view.leaf(i)) > 0) numbers.push_back(static_cast<std::uint32_t>(i));
        }
        const std::size_t max_strays = 1 + random() % 3;
        std::vector<std::uint32_t> broke;
        const auto tolerant = view.outgroup_place(numbers, max_strays, &broke);
        std::vector<std::string> expected_broke;
        const auto expected_tolerant =
            outgroup_side_tried_everywhere(tree, in, max_strays, &expected_broke);
        ASSERT_EQ(tolerant.has_value(), expected_tolerant.has_value()) << tree.root->print();
        if (tolerant.has_value()) {
            EXPECT_EQ(tolerant->below, expected_tolerant->below) << tree.root->print();
            EXPECT_EQ(tolerant->below_part, expected_tolerant->below_part);
            std::vector<std::string> names;
            for (const std::uint32_t number : broke)
                names.emplace_back(view.leaf(number).name());
            EXPECT_EQ(names, expected_broke) << tree.root->print();
            tolerant_rooted += broke.empty() ? 0 : 1;
        }
        if (!place.has_value()) continue;
        EXPECT_EQ(place->below, expected->below) << tree.root->print();
        EXPECT_EQ(place->below_part, expected->below_part);
        EXPECT_EQ(place->above_part, expected->above_part);
        if (round % 2 == 0) {
            EXPECT_EQ(view.midpoint_place().has_value(), n > 1);
        }
    }
    EXPECT_GT(tolerant_rooted, 100u);
}

// An outgroup of four split two and two by one other leaf: no side of outgroup leaves only is
// the largest, but the side holding all four and the stray roots the tree once one stray is
// allowed. Two different sides that tie leave no root.
TEST(Outgroup, BrokenByAFewLeaves) {
    Phylogeny split("((c1,c2),((m1,m2),((o1,o2),(x1,(o3,o4)))));");
    const tavrin::UnrootedTree view(split);
    const std::vector<std::uint32_t> outgroup = {4, 5, 7, 8};
    EXPECT_FALSE(view.outgroup_place(outgroup).has_value());
    std::vector<std::uint32_t> broke;
    const auto place = view.outgroup_place(outgroup, 1, &broke);
    ASSERT_TRUE(place.has_value());
    EXPECT_EQ(place->below, tavrin::root_of(split).right().right());
    EXPECT_EQ(broke, (std::vector<std::uint32_t>{6}));
    EXPECT_FALSE(view.outgroup_place(outgroup, 0, &broke).has_value());

    // One side of outgroup leaves only roots as without strays, none listed.
    broke = {99};
    const auto whole = view.outgroup_place(std::vector<std::uint32_t>{4, 5}, 2, &broke);
    ASSERT_TRUE(whole.has_value());
    EXPECT_EQ(whole->below, tavrin::root_of(split).right().right().left());
    EXPECT_EQ(broke, (std::vector<std::uint32_t>{99}));

    // Without strays the pair (o1,o2) is the largest pure side; allowing one, the sides
    // without x1 and without c1 hold all four outgroup leaves and one other each: a tie.
    Phylogeny tie("(((o1,o2),x1),((o3,c1),o4));");
    const tavrin::UnrootedTree tied(tie);
    const std::vector<std::uint32_t> four = {0, 1, 3, 5};
    ASSERT_TRUE(tied.outgroup_place(four).has_value());
    EXPECT_FALSE(tied.outgroup_place(four, 1).has_value());
    EXPECT_FALSE(tied.outgroup_place(four, 10).has_value());
}

TEST(RemoveLeaves, BranchesThatMetTheLeafBecomeOne) {
    Phylogeny tree("((a:1,b:1)80:1,(c:1,(d:1,e:1)70:2)60:3);");
    std::vector<NodeRef> gone{leaf(tree, "c"), leaf(tree, "a")};
    EXPECT_EQ(tavrin::remove_leaves(tree, gone, tavrin::BranchMerge::kUnrooted), 2u);
    ASSERT_EQ(check_links(tree.root), "");
    // (d,e) takes the larger support, 70, and both lengths; b's branch stays a leaf's.
    EXPECT_EQ(tree.root->print(),
              "(b:2.000000,(d:1.000000,e:1.000000)70.000000:5.000000)0.000000:0.000000");
    EXPECT_EQ(gone[0].name(), "c");  // kept readable until the tree goes
}

TEST(RemoveLeaves, LeafAtTheRootLeavesItsSiblingAsRoot) {
    Phylogeny tree("(a:1,(b:1,(c:1,d:1)40:1)50:2);");
    EXPECT_EQ(tavrin::remove_leaves(tree, {leaf(tree, "a"), leaf(tree, "a")},
                                    tavrin::BranchMerge::kUnrooted),
              1u);
    ASSERT_EQ(check_links(tree.root), "");
    EXPECT_EQ(shape(tree.root), "(b,(c,d))");
    EXPECT_EQ(tavrin::root_of(tree).support(), 0);
    EXPECT_EQ(tavrin::root_of(tree).length(), 0);
}

// Where each removed leaf stood, on a branch of the tree left named by its two ends (whichever
// way the tree is rooted afterwards) and the distance from the first: the merged branch, at
// the length the sibling had; a place taken out later moves with what took it over.
TEST(RemoveLeaves, EachLeafStandsWhereItsBranchWasMerged) {
    struct Expected {
        const char* leaf;
        const char* below;  // a leaf's name, or "(...)" for the root's left or right child
        const char* above;
        double distance;
    };
    const auto node = [](const Phylogeny& tree, const std::string& name) -> NodeRef {
        if (name.empty()) return nullptr;
        if (name == "(left)") return tavrin::root_of(tree).left();
        if (name == "(right)") return tavrin::root_of(tree).right();
        if (name == "(root)") return tree.root;
        return leaf(tree, name);
    };
    struct Case {
        const char* tree;
        std::vector<const char*> removed;
        tavrin::BranchMerge merge;
        std::vector<Expected> places;
    };
    const Case cases[] = {
        // Beside a subtree: on its branch, which now reaches the root, through to the other side.
        {"((a:1,b:1)80:1,(c:1,(d:1,e:1)70:2)60:3);",
         {"c"},
         tavrin::BranchMerge::kRooted,
         {{"c", "(right)", "(left)", 2}}},
        // The parent of a later removal: the first leaf's place moves up the branch taking over.
        {"((a:1,(b:1,c:2):1):1,d:1);",
         {"a", "b"},
         tavrin::BranchMerge::kRooted,
         {{"a", "c", "d", 3}, {"b", "c", "d", 2}}},
        // Two siblings: the first stands where the second went, above the rooted tree's root.
        {"((a:1,b:2):1,(c:1,d:1):1);",
         {"a", "b"},
         tavrin::BranchMerge::kRooted,
         {{"a", "(root)", "", 1}, {"b", "(root)", "", 1}}},
        // Unrooted, at the root: on the branch the sibling's children now make.
        {"(a:1,(b:1,(c:1,d:1)40:1)50:2);",
         {"a"},
         tavrin::BranchMerge::kUnrooted,
         {{"a", "(left)", "(right)", 1}}},
        {"(((a:1,b:1):1,c:1):1,(d:1,e:1):1);",
         {"a", "c"},
         tavrin::BranchMerge::kUnrooted,
         {{"a", "b", "(right)", 1}, {"c", "b", "(right)", 2}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.tree);
        Phylogeny tree(c.tree);
        std::vector<NodeRef> gone;
        for (const char* name : c.removed)
            gone.push_back(leaf(tree, name));
        std::vector<tavrin::RemovedLeaf> places;
        EXPECT_EQ(tavrin::remove_leaves(tree, gone, c.merge, &places), gone.size());
        ASSERT_EQ(places.size(), c.places.size());
        for (std::size_t i = 0; i < places.size(); ++i) {
            SCOPED_TRACE(c.places[i].leaf);
            EXPECT_EQ(places[i].leaf.name(), c.places[i].leaf);
            EXPECT_EQ(places[i].below, node(tree, c.places[i].below));
            EXPECT_EQ(places[i].above, node(tree, c.places[i].above));
            EXPECT_DOUBLE_EQ(places[i].distance, c.places[i].distance);
        }
    }
}

// A ladder of a million leaves with lengths, its deepest leaf far from the others.
std::string long_ladder(std::size_t n) {
    std::string text(n - 1, '(');
    text += "L1:1000";
    for (std::size_t i = 2; i <= n; ++i)
        text += ",L" + std::to_string(i) + ":1):0.5";
    return text.substr(0, text.size() - 4) + ";";
}

TEST(Rooting, MillionLevelLadderWithoutRecursion) {
    constexpr std::size_t kLeaves = 1000000;
    Phylogeny tree(long_ladder(kLeaves));
    ASSERT_NE(tree.root, nullptr);
    const auto midpoint = tavrin::UnrootedTree(tree).midpoint_place();
    ASSERT_TRUE(midpoint.has_value());
    tavrin::root_on_branch(tree, *midpoint);
    EXPECT_EQ(check_links(tree.root), "");
    const auto deepest =
        tavrin::UnrootedTree(tree).outgroup_place([](NodeRef node) { return node.name() == "L1"; });
    ASSERT_TRUE(deepest.has_value());
    tavrin::root_on_branch(tree, *deepest);
    EXPECT_EQ(check_links(tree.root), "");
    EXPECT_TRUE(tavrin::root_of(tree).left().name() == "L1" ||
                tavrin::root_of(tree).right().name() == "L1");

    // The outgroup L(n-2), L(n) broken by L(n-1): the side above the node holding L1 to L(n-3),
    // found by climbing the whole ladder from L1.
    Phylogeny ladder(long_ladder(kLeaves));
    const tavrin::UnrootedTree view(ladder);
    std::vector<std::uint32_t> broke;
    const auto top =
        view.outgroup_place(std::vector<std::uint32_t>{kLeaves - 3, kLeaves - 1}, 1, &broke);
    ASSERT_TRUE(top.has_value());
    EXPECT_EQ(broke, (std::vector<std::uint32_t>{kLeaves - 2}));
    EXPECT_EQ(top->below.parent().right().name(), "L" + std::to_string(kLeaves - 2));
}

}  // namespace

}  // namespace tavrin
