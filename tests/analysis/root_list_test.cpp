// A root list matches every leaf against all its outgroups at once: the entry it picks, the tree
// it roots and the outgroups it reports as matched are those of its entries tried one by one,
// each with its own target test, on the realistic gene trees, their groups and names that are
// prefixes of one another.
#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <string>
#include <vector>

#include "analysis/leaf_matching.h"
#include "analysis/root_list.h"
#include "analysis/steps.h"
#include "platform/files.h"
#include "support/analysis_fixtures.h"
#include "tree/phylogeny.h"
#include "tree/rooting.h"
#include "tree/tree_changes.h"

namespace tavrin {

namespace {

const std::string kGenes = TAVRIN_SOURCE_DIR "/bench/genes/";

// The place one outgroup entry gives, with its own target test as the search would run it.
std::optional<RootPlace> place_alone(const Phylogeny& tree, const std::string& outgroup,
                                     const TargetTest& target, const GroupRelations& groups) {
    const LeafMatcher matcher(outgroup, false);
    const TargetTest in_outgroup(matcher, groups, outgroup, '-');
    return UnrootedTree(tree).outgroup_place(
        [&](NodeRef leaf) { return in_outgroup(leaf) && !target(leaf); });
}

// Whether some leaf passes the outgroup's own test.
bool matches_alone(const Phylogeny& tree, const std::string& outgroup,
                   const GroupRelations& groups) {
    const LeafMatcher matcher(outgroup, false);
    const TargetTest in_outgroup(matcher, groups, outgroup, '-');
    const UnrootedTree view(tree);
    for (std::size_t i = 0; i < view.leaf_count(); ++i) {
        if (in_outgroup(view.leaf(i))) return true;
    }
    return false;
}

// The tree `list` roots, as text, or "no root"; the tree tried entry by entry the same way. The
// list is tried twice on the tree, undone in between, the places it can share kept from the
// first time: both must root alike.
std::string rooted_by_list(const std::string& text, const RootList& list, const TargetTest& target,
                           const GroupRelations& groups, std::vector<bool>& matched) {
    Phylogeny tree(text);
    SharedRootPlaces shared;
    std::string rooted[2];
    for (std::string& as_text : rooted) {
        TreeChanges changes(tree);
        const RootEntry* entry =
            root_by_list(tree, list, target, groups, '-', &changes, &matched, nullptr, &shared);
        as_text = entry == nullptr ? "no root" : entry->text + " " + tree.root->print();
        changes.undo();
    }
    EXPECT_EQ(rooted[1], rooted[0]) << "with the places shared";
    return rooted[0];
}

std::string rooted_entry_by_entry(const std::string& text, const RootList& list,
                                  const TargetTest& target, const GroupRelations& groups) {
    Phylogeny tree(text);
    for (const RootEntry& entry : list.entries) {
        if (entry.text == kRootGiven) return entry.text + " " + tree.root->print();
        const std::optional<RootPlace> place = entry.text == kRootMidpoint
                                                   ? UnrootedTree(tree).midpoint_place()
                                                   : place_alone(tree, entry.text, target, groups);
        if (!place.has_value()) continue;
        root_on_branch(tree, *place);
        return entry.text + " " + tree.root->print();
    }
    return "no root";
}

TEST(RootList, AllOutgroupsAtOnceActAsEachEntryTriedAlone) {
    GroupRelations groups;
    ASSERT_EQ(groups.load(kGenes + "groups.txt"), GroupRelations::LoadResult::kLoaded);
    // Groups, leaf prefixes, prefixes of them (one of them the target's), names of no leaf.
    const std::vector<std::string> names = {
        "Excavata", "Archaeplastida", "Opisthokonta", "SAR",       "Fungi", "Fu",
        "F",        "Rhodo-1",        "Choano",       "Amoebozoa", "Bact",  "Viridi-2",
        "Metazoa",  "Eukaryota",      "Stramen-1",    "Alveolata", "given", "midpoint"};
    std::mt19937 random(31);
    const LeafMatcher target_matcher("Choano", false);
    const TargetTest target(target_matcher, groups, "Choano", '-');
    for (const char* program : {"fasttree", "iqtree", "raxml"}) {
        for (int gene = 1; gene <= 35; gene += 2) {
            char name[16];
            std::snprintf(name, sizeof name, "/g%03d.nwk", gene);
            std::string text;
            ASSERT_TRUE(read_tree_file(kGenes + program + name, text)) << program << name;
            for (int round = 0; round < 6; ++round) {
                std::string list_text;
                for (std::size_t k = 1 + random() % 5; k > 0; --k)
                    list_text += names[random() % names.size()] + ",";
                list_text += round % 2 == 0 ? "midpoint" : names[random() % names.size()];
                const RootList list = analysis_fixtures::root_list_of(list_text);
                SCOPED_TRACE(std::string(program) + name + " --root " + list_text);
                std::vector<bool> matched;
                EXPECT_EQ(rooted_by_list(text, list, target, groups, matched),
                          rooted_entry_by_entry(text, list, target, groups));
                if (list.outgroups == nullptr) continue;
                ASSERT_EQ(matched.size(), list.outgroups->size());
                const Phylogeny tree(text);
                for (std::size_t i = 0; i < matched.size(); ++i)
                    EXPECT_EQ(matched[i], matches_alone(tree, list.outgroups->name(i), groups))
                        << list.outgroups->name(i);
            }
        }
    }
}

TEST(RootList, OutgroupsAreNumberedOnceEach) {
    const RootList list = analysis_fixtures::root_list_of("Fungi,given,Fu,midpoint,Fungi,F");
    ASSERT_NE(list.outgroups, nullptr);
    EXPECT_EQ(list.outgroups->size(), 3u);
    EXPECT_EQ(list.entries[4].outgroup, list.entries[0].outgroup);
    EXPECT_FALSE(list.entries[1].outgroup.has_value());
    EXPECT_EQ(list.outgroups->named("Fu"), list.entries[2].outgroup);
    EXPECT_FALSE(list.outgroups->named("Fun").has_value());
    std::vector<std::size_t> found;
    list.outgroups->prefixes_of("Fungi-3", [&](std::size_t i) { found.push_back(i); });
    EXPECT_EQ(found, (std::vector<std::size_t>{2, 1, 0}));  // F, Fu, Fungi
    EXPECT_EQ(analysis_fixtures::root_list_of("given,midpoint").outgroups, nullptr);
}

}  // namespace

}  // namespace tavrin
