// Target clade search: clades under the given rooting, the single reroot that can make one, the
// two failure messages, the process-wide flags, and trees too deep for recursion.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "analysis/pipeline.h"
#include "analysis/steps.h"
#include "contract/tavrin.h"
#include "support/analysis_fixtures.h"
#include "support/tree_check.h"
#include "tree/tree_changes.h"

namespace tavrin {

namespace {

using analysis_fixtures::analyse;
using analysis_fixtures::left_ladder;
using Names = std::vector<std::string>;
using tavrin::AnalysisSettings;

const char* const kThreeGroups[] = {"Choano-", "Fungi-", "Metazoa-"};

// A random tree of `leaves` leaves of the three groups, their numbers in order, the joins at
// random places.
std::string random_tree(std::mt19937& rng, int leaves) {
    std::vector<std::string> items;
    for (int i = 0; i < leaves; ++i)
        items.push_back(kThreeGroups[rng() % 3] + std::to_string(i));
    while (items.size() > 1) {
        const std::size_t at = rng() % (items.size() - 1);
        items[at] = "(" + items[at] + "," + items[at + 1] + ")";
        items.erase(items.begin() + static_cast<long>(at) + 1);
    }
    return items[0] + ";";
}

// The search as its recursion states it, one frame per node on a stack: a leaf answers itself
// when it passes the test; a node answers itself when both children answered themselves, the
// one child that answered something, or none; a node one of whose children answered itself and
// the other a node strictly inside reroots the tree above that node once (the left one when
// both qualify), answers what a full search of the new root answers, and the frames below it
// then finish on the rewired tree; any other mix means the target group is not a clade.
SearchResult reference_search(Phylogeny& tree, NodeRef start, const TargetTest& test,
                              SearchState state) {
    struct Frame {
        NodeRef node;
        int stage;  // 0 entered, 1 left side done, 2 right side done, 3 restart done
        NodeRef left_answer;
    };
    std::vector<Frame> stack{{start, 0, nullptr}};
    SearchResult result;
    NodeRef& answer = result.target;
    const TargetTest::Here here = test.here();
    auto side = [&](Frame& frame, NodeRef child, int next) {
        if (child != nullptr && !child.is_leaf()) {
            frame.stage = next;
            stack.push_back({child, 0, nullptr});
            return false;
        }
        answer = nullptr;
        if (child != nullptr && !state.not_a_clade && here(child)) {
            ++result.tested;
            answer = child;
        }
        return true;
    };
    while (!stack.empty()) {
        Frame& frame = stack.back();
        NodeRef x = frame.node;
        if (frame.stage == 0 && (x == nullptr || state.not_a_clade || x.is_leaf())) {
            answer = x != nullptr && !state.not_a_clade && here(x) ? x : nullptr;
            result.tested += answer != nullptr;
            stack.pop_back();
            continue;
        }
        if (frame.stage == 3) {
            result.restart_target = answer;
            result.restart_state = state;
            stack.pop_back();
            continue;
        }
        if (frame.stage == 0 && !side(frame, x.left(), 1)) continue;
        if (frame.stage <= 1) {
            frame.left_answer = answer;
            if (!side(frame, x.right(), 2)) continue;
        }
        NodeRef l = frame.left_answer, r = answer;
        const bool may_reroot = !state.rerooted;
        if (state.not_a_clade) {
            answer = nullptr;
        } else if (l == nullptr || r == nullptr) {
            answer = l == nullptr ? r : l;
        } else if (l == x.left() && r == x.right()) {
            answer = x;
        } else if ((r == x.right() || l == x.left()) && may_reroot) {
            NodeRef partial = r == x.right() ? l : r;
            NodeRef a = partial.parent();
            NodeRef old_root = tree.root;
            tree.root = Phylogeny::reroot(a.get(), a.other_child(partial).get(), old_root.get());
            tree.retire_node(old_root.get());
            state.rerooted = true;
            frame.stage = 3;
            stack.push_back({tree.root, 0, nullptr});
            continue;
        } else {
            state.not_a_clade = true;
            answer = nullptr;
        }
        stack.pop_back();
    }
    result.state = state;
    return result;
}

// The search answers as its recursion: random trees of three groups, every target, searches
// begun at the root and at inner nodes, in every state, as the contract's class makes them.
TEST(TargetSearch, AnswersAsTheRecursion) {
    std::mt19937 rng(20261210);
    auto shown = [](NodeRef n) { return n == nullptr ? "-" : n.get()->print(); };
    std::size_t rerooted = 0;
    for (int round = 0; round < 4000; ++round) {
        const std::string text = random_tree(rng, 2 + round % 15);
        AnalysisSettings settings;
        settings.prefix = std::string(kThreeGroups[round % 3]).substr(0, 5);
        const Analysis analysis(settings);
        Phylogeny ours(text), theirs(text);
        // The same node of both copies: the one reached by the same turns from the root.
        NodeRef a = ours.root, b = theirs.root;
        for (int depth = static_cast<int>(rng() % 3); depth > 0 && !a.is_leaf(); --depth) {
            const bool left = rng() % 2 == 0;
            a = left ? a.left() : a.right();
            b = left ? b.left() : b.right();
        }
        const SearchState state{rng() % 4 == 0, rng() % 8 == 0};
        const SearchResult got = search_target(&ours, a, analysis.target_test(), state);
        const SearchResult want = reference_search(theirs, b, analysis.target_test(), state);
        SCOPED_TRACE(text + " from " + b.get()->print());
        rerooted += want.state.rerooted && !state.rerooted;
        EXPECT_EQ(shown(got.target), shown(want.target));
        EXPECT_EQ(got.state.rerooted, want.state.rerooted);
        EXPECT_EQ(got.state.not_a_clade, want.state.not_a_clade);
        EXPECT_EQ(got.tested, want.tested);
        EXPECT_EQ(shown(got.restart_target), shown(want.restart_target));
        EXPECT_EQ(got.restart_state.not_a_clade, want.restart_state.not_a_clade);
        EXPECT_EQ(ours.root->print(), theirs.root->print());
    }
    EXPECT_GT(rerooted, 300u);
}

// A search that reroots searches the new root in full before it goes on; what that restart
// answers is what a search of the rerooted tree begun with `rerooted` set answers, so the
// analysis keeps it instead of searching again. Random trees of three groups, every target.
TEST(TargetSearch, RestartAnswersAsASecondSearchWould) {
    std::mt19937 rng(20261209);
    std::size_t rerooted = 0, found = 0;
    for (int round = 0; round < 3000; ++round) {
        const std::string text = random_tree(rng, 3 + round % 13);
        AnalysisSettings settings;
        settings.prefix = std::string(kThreeGroups[round % 3]).substr(0, 5);
        const Analysis analysis(settings);
        Phylogeny tree(text);
        const SearchResult first = search_target(&tree, tree.root, analysis.target_test());
        if (!first.state.rerooted) continue;
        ++rerooted;
        const SearchResult again =
            search_target(&tree, tree.root, analysis.target_test(), SearchState{true, false});
        SCOPED_TRACE(text);
        EXPECT_EQ(first.restart_target, again.target);
        EXPECT_EQ(first.restart_state.rerooted, again.state.rerooted);
        EXPECT_EQ(first.restart_state.not_a_clade, again.state.not_a_clade);
        found += again.target != nullptr;
    }
    // Both outcomes of a restart occur.
    EXPECT_GT(found, 100u);
    EXPECT_GT(rerooted - found, 100u);
}

TEST(TargetSearch, CladeUnderTheGivenRooting) {
    auto run = analyse("((Fungi-1,Fungi-2),(Metazoa-1,(Plantae-1,Plantae-2)));", "Fungi");
    NodeRef root = run.tree->root;
    EXPECT_EQ(run.err, "");
    EXPECT_FALSE(rerooted);
    EXPECT_EQ(run->target, root.left());
    EXPECT_EQ(tree_check::shape(root.get()),
              "((Fungi-1,Fungi-2),(Metazoa-1,(Plantae-1,Plantae-2)))");
    EXPECT_EQ(run.sisters(), (Names{"Metazoa", "Plantae"}));
}

TEST(TargetSearch, RerootAtTheRootMakesTheClade) {
    Phylogeny tree("((Fungi-1,Metazoa-1),(Fungi-2,Fungi-3));");
    NodeRef a = tavrin::root_of(tree).left();
    testing::internal::CaptureStderr();
    Tavrin tavrin(&tree, "Fungi", false);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_TRUE(rerooted);
    EXPECT_EQ(tree_check::shape(tree.root), "(Metazoa-1,(Fungi-1,(Fungi-2,Fungi-3)))");
    EXPECT_EQ(tree_check::check_links(tree.root), "");
    EXPECT_EQ(tavrin.target, a);
    EXPECT_EQ(tavrin::root_of(tree).right(), a);
    EXPECT_EQ(a.parent(), tree.root);
    EXPECT_EQ(tavrin.sisters, Names{"Metazoa"});
}

// The reroot happens below the root; the old root's level then finds an emptied slot and gives
// up, and only the constructor's second search finds the target.
TEST(TargetSearch, RerootBelowTheRootIsFoundBySecondSearch) {
    Phylogeny tree("((Fungi-1,Fungi-2),(Fungi-3,(Fungi-4,Metazoa-1)));");
    NodeRef a = tavrin::root_of(tree).right().right();
    testing::internal::CaptureStderr();
    Tavrin tavrin(&tree, "Fungi", false);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_TRUE(rerooted);
    EXPECT_FALSE(null_in_error);
    EXPECT_EQ(tree_check::shape(tree.root), "(Metazoa-1,(Fungi-4,(Fungi-3,(Fungi-1,Fungi-2))))");
    EXPECT_EQ(tree_check::check_links(tree.root), "");
    EXPECT_EQ(tavrin.target, a);
    EXPECT_EQ(tavrin::root_of(tree).right(), a);
    EXPECT_EQ(tavrin.sisters, Names{"Metazoa"});
}

TEST(TargetSearch, SplitInTwoPlacesIsNotFoundWithoutReroot) {
    auto run = analyse("((Fungi-1,Metazoa-1),(Fungi-2,Plantae-1));", "Fungi");
    EXPECT_EQ(run.err, "CLADE NOT FOUND\n");
    EXPECT_EQ(run->target, nullptr);
    EXPECT_EQ(run->sister_count, 0);
    EXPECT_FALSE(rerooted);
    EXPECT_EQ(tree_check::shape(run.tree->root), "((Fungi-1,Metazoa-1),(Fungi-2,Plantae-1))");
}

TEST(TargetSearch, RerootThatDoesNotHelpLeavesTheTreeRerooted) {
    auto run = analyse("(((Fungi-1,Metazoa-1),Plantae-1),(Fungi-2,Fungi-3));", "Fungi");
    EXPECT_EQ(run.err, "CLADE NOT FOUND\n");
    EXPECT_EQ(run->target, nullptr);
    EXPECT_EQ(run->sister_count, 0);
    EXPECT_TRUE(rerooted);
    EXPECT_EQ(tree_check::shape(run.tree->root),
              "(Metazoa-1,(Fungi-1,((Fungi-2,Fungi-3),Plantae-1)))");
    EXPECT_EQ(tree_check::check_links(run.tree->root), "");
}

TEST(TargetSearch, WholeTreeIsReportedAsRoot) {
    auto run = analyse("((Fungi-1,Fungi-2),Fungi-3);", "Fungi");
    EXPECT_EQ(run.err, "TARGET IS ROOT\n");
    EXPECT_EQ(run->target, run.tree->root);
    EXPECT_EQ(run->sister_count, 0);
    EXPECT_TRUE(run->sisters.empty());
    EXPECT_FALSE(rerooted);
}

TEST(TargetSearch, EdgeCasesOfTheTargetLeaves) {
    // The empty search prefix takes every leaf.
    EXPECT_EQ(analyse("((Fungi-1,Metazoa-1),Plantae-1);", "").err, "TARGET IS ROOT\n");
    // A tree of one leaf.
    EXPECT_EQ(analyse("Fungi-1;", "Fungi").err, "TARGET IS ROOT\n");
    EXPECT_EQ(analyse("Fungi-1;", "Metazoa").err, "CLADE NOT FOUND\n");
    {
        auto run = analyse("((Metazoa-1,Metazoa-2),Plantae-1);", "Fungi");
        EXPECT_EQ(run.err, "CLADE NOT FOUND\n");
        EXPECT_FALSE(rerooted);
    }
    {
        // A single target leaf is the target as it stands.
        auto run = analyse("((Fungi-1,Metazoa-1)80,Plantae-1);", "Fungi");
        EXPECT_EQ(run.err, "");
        EXPECT_FALSE(rerooted);
        EXPECT_EQ(run->target, tavrin::root_of(*run.tree).left().left());
        EXPECT_EQ(run.sisters(), (Names{"Metazoa", "Plantae-1"}));
    }
}

// Once a node below the root's left child holds partial matches on both sides, the search stops
// there: the whole match on the root's right does not lead to a reroot.
TEST(TargetSearch, NonCladeFoundFirstPreventsTheReroot) {
    auto run = analyse("(((Fungi-1,Metazoa-1),(Fungi-2,Plantae-1)),(Fungi-3,Fungi-4));", "Fungi");
    EXPECT_EQ(run.err, "CLADE NOT FOUND\n");
    EXPECT_FALSE(rerooted);
    EXPECT_EQ(tree_check::shape(run.tree->root),
              "(((Fungi-1,Metazoa-1),(Fungi-2,Plantae-1)),(Fungi-3,Fungi-4))");
}

// Each analysis clears the flags that an earlier one (or anyone) left set.
TEST(TargetSearch, FlagsStartClearForEachAnalysis) {
    {
        auto failed = analyse("(((Fungi-1,Metazoa-1),Plantae-1),(Fungi-2,Fungi-3));", "Fungi");
        ASSERT_TRUE(rerooted);
    }
    auto reroots = analyse("((Fungi-1,Metazoa-1),(Fungi-2,Fungi-3));", "Fungi");
    EXPECT_EQ(reroots.err, "");
    EXPECT_EQ(tree_check::shape(reroots.tree->root), "(Metazoa-1,(Fungi-1,(Fungi-2,Fungi-3)))");

    rerooted = true;
    null_in_error = true;
    auto plain = analyse("((Fungi-1,Fungi-2),(Metazoa-1,Plantae-1));", "Fungi");
    EXPECT_EQ(plain.err, "");
    EXPECT_EQ(plain->target, tavrin::root_of(*plain.tree).left());

    rerooted = true;
    null_in_error = true;
    auto again = analyse("((Fungi-1,Metazoa-1),(Fungi-2,Fungi-3));", "Fungi");
    EXPECT_EQ(again.err, "");
    EXPECT_TRUE(rerooted);
    EXPECT_EQ(again->target, tavrin::root_of(*again.tree).right());
}

// A million leaves in a ladder: the target is a million levels down, so neither the search nor
// the sister walk may recurse per level.
// The search takes its state and gives it back: a search told that the tree was rerooted makes
// no reroot, one told that the target is not a clade finds none, and a reroot kept in a record
// of changes is undone.
TEST(TargetSearch, StateIsTakenAndReturned) {
    AnalysisSettings settings;
    settings.prefix = "Fungi";
    const Analysis analysis(settings);
    const tavrin::TargetTest& test = analysis.target_test();
    const char* const text = "((Fungi-1,Metazoa-1),(Fungi-2,Fungi-3));";

    Phylogeny kept(text);
    const tavrin::SearchResult no_reroot =
        tavrin::search_target(&kept, kept.root, test, tavrin::SearchState{true, false});
    EXPECT_EQ(no_reroot.target, nullptr);
    EXPECT_TRUE(no_reroot.state.not_a_clade);
    EXPECT_EQ(kept.root->print(), Phylogeny(text).root->print());

    Phylogeny moved(text);
    tavrin::TreeChanges changes(moved);
    const tavrin::SearchResult found =
        tavrin::search_target(&moved, moved.root, test, tavrin::SearchState{}, &changes);
    EXPECT_TRUE(found.state.rerooted);
    EXPECT_NE(moved.root->print(), Phylogeny(text).root->print());
    changes.undo();
    EXPECT_EQ(moved.root->print(), Phylogeny(text).root->print());

    Phylogeny given(text);
    EXPECT_EQ(
        tavrin::search_target(&given, given.root, test, tavrin::SearchState{false, true}).target,
        nullptr);
}

TEST(TargetSearch, MillionLeafLadderIsSearched) {
    Phylogeny tree(left_ladder("Fungi-a", "Fungi-b", "Metazoa-", 999998));
    ASSERT_NE(tree.root, nullptr);
    NodeRef t = tree.root;
    while (!t.left().is_leaf())
        t = t.left();
    NodeRef grandparent = t.parent().parent();
    testing::internal::CaptureStderr();
    Tavrin tavrin(&tree, "Fungi", false);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_FALSE(rerooted);
    EXPECT_EQ(tavrin.target, t);
    EXPECT_EQ(tavrin.sisters, Names{"Metazoa"});
    // Both sisters came out Metazoa, so the target's parent was folded away.
    EXPECT_EQ(t.parent(), grandparent);
    EXPECT_EQ(tree_check::leaf_count(tree.root), 999999u);
}

// The same depth with the reroot: the path reversed is a million nodes long, and the enclosing
// levels of the first search all resume on the rerooted tree.
TEST(TargetSearch, MillionLeafLadderIsRerootedAndSearched) {
    Phylogeny tree(left_ladder("Metazoa-0", "Fungi-0", "Fungi-", 999998));
    ASSERT_NE(tree.root, nullptr);
    NodeRef a = tree.root;
    while (!a.left().is_leaf())
        a = a.left();
    testing::internal::CaptureStderr();
    Tavrin tavrin(&tree, "Fungi", false);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_TRUE(rerooted);
    EXPECT_EQ(tavrin.target, a);
    EXPECT_EQ(tavrin::root_of(tree).right(), a);
    ASSERT_TRUE(tavrin::root_of(tree).left().is_leaf());
    EXPECT_EQ(tavrin::root_of(tree).left().name(), "Metazoa-0");
    EXPECT_EQ(tavrin.sisters, Names{"Metazoa"});
    EXPECT_TRUE(tavrin.bootstrapIsNull());
    EXPECT_EQ(tree_check::check_links(tree.root), "");
    EXPECT_EQ(tree_check::leaf_count(tree.root), 1000000u);
}

}  // namespace

}  // namespace tavrin
