// The leaves that break the target clade: the smallest set against an exhaustive search on small
// random trees, the hand-made cases of each outcome, the removal of leaves, and trees too deep
// or too large for anything but linear walks.
#include <gtest/gtest.h>

#include <bitset>
#include <cstdint>
#include <functional>
#include <map>
#include <random>
#include <set>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "analysis/leaf_matching.h"
#include "analysis/outliers.h"
#include "support/tree_check.h"
#include "tree/walk.h"

namespace tavrin {

namespace {

using Names = std::vector<std::string>;

bool starts_with_f(NodeRef leaf) {
    return leaf.name().rfind("F-", 0) == 0;
}

Names names_of(const std::vector<NodeRef>& leaves) {
    Names names;
    for (NodeRef leaf : leaves)
        names.emplace_back(leaf.name());
    return names;
}

// ---------------------------------------------------------------- exhaustive reference

// The answer worked out from every split of the leaves, as sets: each non-root node gives the
// leaves below it and the others, and equal splits count once.
struct Reference {
    bool found = false;
    std::size_t outliers = 0;
    bool ambiguous = false;
    Names leaves;
};

Reference exhaustive(const Phylogeny& tree, const std::vector<bool>& target_by_rank) {
    const Names order = tree_check::leaf_names(tree.root);
    std::map<std::string, std::size_t> rank;
    for (std::size_t i = 0; i < order.size(); ++i)
        rank[order[i]] = i;
    const uint32_t all = (1u << order.size()) - 1;
    uint32_t targets = 0;
    for (std::size_t i = 0; i < order.size(); ++i)
        targets |= target_by_rank[i] ? 1u << i : 0u;

    std::set<uint32_t> sides;
    for (NodeRef node : tree_check::preorder<const Phylogeny_Node>(tree.root)) {
        if (node == tree.root) continue;
        uint32_t below = 0;
        for (const std::string& name : tree_check::leaf_names(node.get()))
            below |= 1u << rank[name];
        sides.insert(below);
        sides.insert(all & ~below);
    }
    std::map<std::pair<int, int>, std::vector<uint32_t>> sets_by_cost;
    for (uint32_t side : sides) {
        if ((side & targets) == 0 || (all & ~side & ~targets) == 0) continue;
        const uint32_t removed = side ^ targets;
        const int cost = static_cast<int>(std::bitset<32>(removed).count());
        const int targets_removed = static_cast<int>(std::bitset<32>(removed & targets).count());
        sets_by_cost[{cost, targets_removed}].push_back(removed);
    }
    Reference ref;
    if (sets_by_cost.empty()) return ref;
    const auto& [key, sets] = *sets_by_cost.begin();
    ref.found = true;
    ref.outliers = static_cast<std::size_t>(key.first);
    ref.ambiguous = sets.size() > 1;
    if (!ref.ambiguous) {
        for (std::size_t i = 0; i < order.size(); ++i)
            if (sets[0] & (1u << i)) ref.leaves.push_back(order[i]);
    }
    return ref;
}

// A random rooted tree over the leaves `parts`, joined two at a time in random order.
std::string random_tree(std::vector<std::string> parts, std::mt19937& random) {
    while (parts.size() > 1) {
        std::swap(parts[random() % parts.size()], parts.back());
        std::string right = parts.back();
        parts.pop_back();
        std::swap(parts[random() % parts.size()], parts.back());
        parts.back() = "(" + parts.back() + "," + right + ")";
    }
    return parts[0] + ";";
}

// A random rooted tree over the leaves L0 ... L(n-1).
std::string random_tree(std::size_t n, std::mt19937& random) {
    std::vector<std::string> parts;
    for (std::size_t i = 0; i < n; ++i)
        parts.push_back("L" + std::to_string(i));
    return random_tree(parts, random);
}

TEST(Outliers, AgreeWithAnExhaustiveSearchOnSmallRandomTrees) {
    std::mt19937 random(20261207);
    std::map<std::string, int> outcomes;
    for (int round = 0; round < 4000; ++round) {
        const std::size_t n = 1 + random() % 10;
        Phylogeny tree(random_tree(n, random));
        std::vector<bool> target(n);
        const unsigned percent = 10 + random() % 80;
        for (std::size_t i = 0; i < n; ++i)
            target[i] = random() % 100 < percent;
        const Names order = tree_check::leaf_names(tree.root);
        std::map<std::string, bool> target_by_name;
        std::vector<bool> target_by_rank(n);
        for (std::size_t i = 0; i < n; ++i) {
            target_by_name[order[i]] = target[i];
            target_by_rank[i] = target[i];
        }
        const OutlierSet found = find_outliers(
            tree, [&](NodeRef leaf) { return target_by_name[std::string(leaf.name())]; });
        const Reference expected = exhaustive(tree, target_by_rank);
        const std::string trace = tree_check::shape(tree.root);

        // The census of another target on the same tree finds the shape; replayed for this
        // target, it answers what the walk answered, ties included.
        CensusShape shape;
        find_outliers(
            tree, [&](NodeRef leaf) { return !target_by_name[std::string(leaf.name())]; }, &shape);
        const OutlierSet replayed = find_outliers(
            tree, [&](NodeRef leaf) { return target_by_name[std::string(leaf.name())]; }, &shape);
        EXPECT_EQ(replayed.target_leaves, found.target_leaves) << trace;
        EXPECT_EQ(replayed.outliers, found.outliers) << trace;
        EXPECT_EQ(replayed.ambiguous, found.ambiguous) << trace;
        EXPECT_EQ(names_of(replayed.leaves), names_of(found.leaves)) << trace;

        std::size_t target_count = 0;
        for (bool t : target)
            target_count += t ? 1 : 0;
        EXPECT_EQ(found.target_leaves, target_count) << trace;
        ASSERT_EQ(found.outliers.has_value(), expected.found) << trace;
        if (!expected.found) {
            ++outcomes["absent"];
            continue;
        }
        EXPECT_EQ(*found.outliers, expected.outliers) << trace;
        EXPECT_EQ(found.ambiguous, expected.ambiguous) << trace;
        EXPECT_EQ(names_of(found.leaves), expected.leaves) << trace;
        ++outcomes[expected.ambiguous ? "ambiguous" : expected.outliers == 0 ? "clade" : "set"];

        // Setting the one set aside leaves a tree whose target leaves are a clade.
        if (expected.ambiguous || expected.outliers == 0) continue;
        ASSERT_EQ(set_aside(tree, found.leaves), found.leaves.size());
        EXPECT_EQ(tree_check::check_links(tree.root), "") << trace;
        EXPECT_EQ(tree_check::leaf_count(tree.root), n - found.leaves.size());
        const OutlierSet again = find_outliers(
            tree, [&](NodeRef leaf) { return target_by_name[std::string(leaf.name())]; });
        EXPECT_EQ(again.outliers, std::optional<std::size_t>(0)) << trace;
    }
    // Every outcome came up often enough to mean something.
    for (const char* outcome : {"absent", "ambiguous", "clade", "set"})
        EXPECT_GT(outcomes[outcome], 100) << outcome;
}

// ---------------------------------------------------------------- hand-made trees

struct Case {
    const char* text;
    std::size_t target_leaves;
    std::optional<std::size_t> outliers;
    bool ambiguous;
    Names leaves;
};

void expect_case(const Case& c) {
    Phylogeny tree(c.text);
    std::size_t asked = 0;
    const OutlierSet found = find_outliers(tree, [&](NodeRef leaf) {
        ++asked;
        return starts_with_f(leaf);
    });
    EXPECT_EQ(asked, tree_check::leaf_count(tree.root)) << c.text;  // once per leaf
    EXPECT_EQ(found.target_leaves, c.target_leaves) << c.text;
    EXPECT_EQ(found.outliers, c.outliers) << c.text;
    EXPECT_EQ(found.ambiguous, c.ambiguous) << c.text;
    EXPECT_EQ(names_of(found.leaves), c.leaves) << c.text;
}

// The censuses of several targets on one shape, read by the numbers of the leaves' prefixes
// where the shape has them, answer what a census of each target alone answers: on a tree not
// numbered, one numbered whole (the leaves' own numbers serve), one numbered in part (by a walk
// that stopped), one whose first census had no prefix test, and one whose prefixes outnumber
// the table.
TEST(Outliers, CensusesReadByPrefixNumbersAnswerAsTheLeavesDo) {
    struct KeysCase {
        const char* what;
        std::size_t leaves;
        std::size_t groups;    // leaf i is in group i % groups, its name G<group>-<i>
        std::size_t numbered;  // the leaves numbered, left to right
        bool first_by_prefix;
        bool keys_kept;
    } const cases[] = {
        {"not numbered", 400, 7, 0, true, true},
        {"numbered whole", 400, 7, 400, true, false},
        {"numbered in part", 1300, 7, 900, true, true},
        {"first census by leaf", 400, 7, 0, false, false},
        {"table full", LeafKeys::kMaxKeys + 300, LeafKeys::kMaxKeys + 300, 0, true, false},
    };
    // Targets as sets of groups: every third group, and a few scattered ones.
    const std::vector<std::function<bool(std::size_t)>> targets = {
        [](std::size_t g) { return g % 3 == 0; },
        [](std::size_t g) { return g == 1 || g == 5; },
        [](std::size_t g) { return g % 7 == 2; },
    };
    for (const KeysCase& c : cases) {
        std::mt19937 random(static_cast<unsigned>(c.leaves));
        std::vector<std::string> names;
        for (std::size_t i = 0; i < c.leaves; ++i)
            names.push_back("G" + std::to_string(i % c.groups) + "-" + std::to_string(i));
        const std::string text = random_tree(names, random);
        // Each case on a thread of its own: the thread's table of numbers starts empty.
        std::thread([&] {
            Phylogeny tree(text);
            std::size_t numbered = 0;
            if (c.numbered == c.leaves) {
                LeafKeys::of_thread().number(tree, '-');
            } else if (c.numbered > 0) {
                LeafKeys::of_thread().number_each(tree, '-',
                                                  [&](NodeRef) { return ++numbered < c.numbered; });
            }
            CensusShape shape;
            for (std::size_t t = 0; t < targets.size(); ++t) {
                auto passes = [&](std::string_view prefix) {
                    return targets[t](std::stoul(std::string(prefix.substr(1))));
                };
                const LeafTest by_leaf = [&](NodeRef leaf) {
                    return passes(leaf_prefix(leaf.name(), '-'));
                };
                const PrefixTest by_key{
                    '-', [&](uint32_t key) { return passes(LeafKeys::of_thread().prefix(key)); }};
                const OutlierSet alone = find_outliers(tree, by_leaf);
                const bool with_keys = t > 0 || c.first_by_prefix;
                const OutlierSet shared =
                    find_outliers(tree, by_leaf, &shape, with_keys ? &by_key : nullptr);
                EXPECT_EQ(shared.target_leaves, alone.target_leaves) << c.what << t;
                EXPECT_EQ(shared.outliers, alone.outliers) << c.what << t;
                EXPECT_EQ(shared.ambiguous, alone.ambiguous) << c.what << t;
                EXPECT_EQ(names_of(shared.leaves), names_of(alone.leaves)) << c.what << t;
            }
            EXPECT_EQ(!shape.keys.empty(), c.keys_kept) << c.what;
            if (!shape.keys.empty()) {
                EXPECT_EQ(shape.keys.size(), shape.leaves.size()) << c.what;
            }
        }).join();
    }
}

TEST(Outliers, TargetAlreadyOneSideOfAnEdge) {
    // Under the given rooting, and across the root (the unrooted tree has the split).
    expect_case({"((F-1,F-2),(M-1,M-2));", 2, 0, false, {}});
    expect_case({"(F-1,(F-2,(M-1,M-2)));", 2, 0, false, {}});
    expect_case({"(M-1,(F-1,M-2));", 1, 0, false, {}});
}

TEST(Outliers, ContaminantInsideTheClade) {
    // {M-1}, {F-1} and {F-2} all have one leaf; only {M-1} keeps every target leaf. The winning
    // side lies below the root's left child: counting the root's two edges apart would tie it
    // with itself.
    expect_case({"((F-1,(F-2,M-1)),(M-2,M-3));", 2, 1, false, {"M-1"}});
    expect_case({"((F-1,(M-1,(F-2,(M-2,F-3)))),(M-3,M-4));", 3, 2, false, {"M-1", "M-2"}});
}

TEST(Outliers, TargetLeafOutsideTheClade) {
    expect_case({"((F-1,F-2),((M-1,M-2),(F-3,(M-3,M-4))));", 3, 1, false, {"F-3"}});
}

TEST(Outliers, LeavesComeInFileOrder) {
    expect_case({"(M-3,(M-4,((F-1,M-9),((F-2,M-1),(F-3,F-4)))));", 4, 2, false, {"M-9", "M-1"}});
}

TEST(Outliers, AbsentWithoutATargetOrWithoutAnythingElse) {
    expect_case({"((M-1,M-2),M-3);", 0, std::nullopt, false, {}});
    expect_case({"((F-1,F-2),F-3);", 3, std::nullopt, false, {}});
    expect_case({"F-1;", 1, std::nullopt, false, {}});
    expect_case({"M-1;", 0, std::nullopt, false, {}});
    Phylogeny malformed("(F-1,M-1)");
    const OutlierSet none = find_outliers(malformed, starts_with_f);
    EXPECT_EQ(none.target_leaves, 0u);
    EXPECT_FALSE(none.outliers.has_value());
}

TEST(Outliers, TiesThatNoRuleBreakAreAmbiguous) {
    // {M-1} and {M-2} remove one leaf each and no target leaf.
    expect_case({"((F-1,M-1),(F-2,M-2));", 2, 1, true, {}});
}

TEST(Outliers, FewerTargetLeavesRemovedWinsATie) {
    // {F-3} and {M-1} both make a clade; setting the non-target leaf aside wins.
    expect_case({"(((F-1,F-2),M-1),(F-3,(M-2,M-3)));", 3, 1, false, {"M-1"}});
}

TEST(Outliers, AnOnlyChildSplitsTheLeavesAsItsParentDoes) {
    // Not a shape the reader makes; the edges above a node with one child and above that child
    // are one split, which must not tie with itself.
    Phylogeny tree("(((F-1,F-2),M-1),M-2);");
    NodeRef m1 = tavrin::root_of(tree).left().right();
    tavrin::root_of(tree).left().set_right(nullptr);
    m1.set_parent(nullptr);
    tree.retire_subtree(m1.get());
    const OutlierSet found = find_outliers(tree, starts_with_f);
    EXPECT_EQ(found.outliers, std::optional<std::size_t>(0));
    EXPECT_FALSE(found.ambiguous);
}

// ---------------------------------------------------------------- setting leaves aside

// The node with `name` among the leaves of `tree`.
NodeRef leaf_named(const Phylogeny& tree, const std::string& name) {
    NodeRef found = nullptr;
    tavrin::preorder(tree.root, [&](NodeRef node) {
        if (node.is_leaf() && node.name() == name) found = node;
    });
    return found;
}

TEST(SetAside, SiblingKeepsItsSupportAndAddsTheParentsLength) {
    Phylogeny tree("((F-1:1,(F-2:2,M-1:3)80:4)90:5,(M-2:1,M-3:1)70:6);");
    NodeRef f2 = leaf_named(tree, "F-2");
    NodeRef m1 = leaf_named(tree, "M-1");
    NodeRef upper = tavrin::root_of(tree).left();
    EXPECT_EQ(set_aside(tree, {m1}), 1u);
    EXPECT_EQ(tree_check::check_links(tree.root), "");
    EXPECT_EQ(tree_check::shape(tree.root), "((F-1,F-2),(M-2,M-3))");
    EXPECT_EQ(f2.parent(), upper);
    EXPECT_DOUBLE_EQ(f2.length(), 6);
    EXPECT_EQ(f2.support(), 0);
    EXPECT_EQ(m1.name(), "M-1");  // still readable after its removal

    // An internal sibling keeps its support too.
    Phylogeny second("((F-1:1,(F-2:2,M-1:3)80:4)90:5,(M-2:1,M-3:1)70:6);");
    NodeRef inner = tavrin::root_of(second).left().right();
    EXPECT_EQ(set_aside(second, {leaf_named(second, "F-1")}), 1u);
    EXPECT_EQ(tree_check::check_links(second.root), "");
    EXPECT_EQ(tavrin::root_of(second).left(), inner);
    EXPECT_EQ(inner.support(), 80);
    EXPECT_DOUBLE_EQ(inner.length(), 9);
}

TEST(SetAside, SiblingOfARootParentBecomesTheRoot) {
    Phylogeny tree("(M-1:1,(F-1:1,F-2:2)90:3)100:0.5;");
    NodeRef clade = tavrin::root_of(tree).right();
    EXPECT_EQ(set_aside(tree, {tavrin::root_of(tree).left()}), 1u);
    EXPECT_EQ(tree.root, clade);
    EXPECT_EQ(clade.parent(), nullptr);
    EXPECT_EQ(clade.support(), 90);
    EXPECT_DOUBLE_EQ(clade.length(), 3.5);
    EXPECT_EQ(tree_check::check_links(tree.root), "");
}

TEST(SetAside, RemovalsOneAfterAnother) {
    Phylogeny tree("((A:1,B:2):3,(C:4,D:5):6);");
    NodeRef a = leaf_named(tree, "A");
    NodeRef b = leaf_named(tree, "B");
    NodeRef c = leaf_named(tree, "C");
    NodeRef d = leaf_named(tree, "D");
    // B is A's sibling when A goes, and goes next; then C's parent is the root.
    EXPECT_EQ(set_aside(tree, {a, b, c}), 3u);
    EXPECT_EQ(tree.root, d);
    EXPECT_DOUBLE_EQ(d.length(), 11);
    EXPECT_EQ(tree_check::check_links(tree.root), "");
    // A leaf already removed, and a leaf that is the whole tree, stay as they are.
    EXPECT_EQ(set_aside(tree, {a, d, nullptr}), 0u);
    EXPECT_EQ(tree.root, d);
    EXPECT_EQ(names_of({a, b, c}), (Names{"A", "B", "C"}));
}

// ---------------------------------------------------------------- trees of 10^6 leaves

// "(L1,L2,...)" split in halves down to the leaves, without the final ';'.
std::string balanced(std::size_t n) {
    std::string text;
    struct Item {
        std::size_t lo, hi;
        char literal;
    };
    std::vector<Item> stack{{0, n, 0}};
    while (!stack.empty()) {
        const Item item = stack.back();
        stack.pop_back();
        if (item.literal != 0) {
            text += item.literal;
        } else if (item.hi - item.lo == 1) {
            text += "L" + std::to_string(item.lo + 1);
        } else {
            const std::size_t mid = item.lo + (item.hi - item.lo) / 2;
            stack.push_back({0, 0, ')'});
            stack.push_back({mid, item.hi, 0});
            stack.push_back({0, 0, ','});
            stack.push_back({item.lo, mid, 0});
            stack.push_back({0, 0, '('});
        }
    }
    return text;
}

std::size_t number_of(NodeRef leaf) {
    return std::stoul(std::string(leaf.name().substr(1)));
}

// Finds the set, sets it aside and finds a clade in what is left.
void expect_linear(Phylogeny& tree, const LeafTest& is_target, std::size_t targets,
                   const Names& leaves) {
    const OutlierSet found = find_outliers(tree, is_target);
    EXPECT_EQ(found.target_leaves, targets);
    EXPECT_EQ(found.outliers, std::optional<std::size_t>(leaves.size()));
    EXPECT_FALSE(found.ambiguous);
    ASSERT_EQ(names_of(found.leaves), leaves);
    EXPECT_EQ(set_aside(tree, found.leaves), leaves.size());
    EXPECT_EQ(tree_check::check_links(tree.root), "");
    EXPECT_EQ(find_outliers(tree, is_target).outliers, std::optional<std::size_t>(0));
}

TEST(OutliersDeep, MillionDeepLadder) {
    Phylogeny tree(tree_check::caterpillar(1000000) + ";");
    // L1 ... L500000 and L700000, far up the ladder.
    expect_linear(tree,
                  [](NodeRef leaf) {
                      const std::size_t i = number_of(leaf);
                      return i <= 500000 || i == 700000;
                  },
                  500001, {"L700000"});
}

TEST(OutliersDeep, MillionLeafBalancedTree) {
    const std::size_t n = 1 << 20;
    Phylogeny tree(balanced(n) + ";");
    // The left half but L5, and L(n/2 + 7) from the right half.
    expect_linear(tree,
                  [&](NodeRef leaf) {
                      const std::size_t i = number_of(leaf);
                      return (i <= n / 2 && i != 5) || i == n / 2 + 7;
                  },
                  n / 2, {"L5", "L" + std::to_string(n / 2 + 7)});
}

}  // namespace

}  // namespace tavrin
