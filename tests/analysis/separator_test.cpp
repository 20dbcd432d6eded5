// Leaf names whose group ends at another byte than '-' (Hsap|g12, Homo_sapiens@ENSP0001): the
// leaf prefix, the rendered prefix of a single leaf, the group test and the target test with a
// chosen separator, and whole analyses that give the same answer once every '-' is renamed.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "analysis/leaf_matching.h"
#include "analysis/pipeline.h"
#include "analysis/steps.h"
#include "support/analysis_fixtures.h"

namespace tavrin {

namespace {

using analysis_fixtures::TempFile;
using tavrin::AnalysisResult;
using tavrin::AnalysisSettings;
using tavrin::TreeStatus;
using Names = std::vector<std::string>;

TEST(Separator, LeafPrefixEndsAtTheFirstSeparatorOnly) {
    EXPECT_EQ(leaf_prefix("Hsap|g12", '|'), "Hsap");
    EXPECT_EQ(leaf_prefix("Hsap|g|12", '|'), "Hsap");
    EXPECT_EQ(leaf_prefix("Hsap|g12", '-'), "Hsap|g12");
    EXPECT_EQ(leaf_prefix("Homo-sapiens@ENSP-1", '@'), "Homo-sapiens");
    EXPECT_EQ(leaf_prefix("Homo-sapiens@ENSP-1", '-'), "Homo");
    EXPECT_EQ(leaf_prefix("@x", '@'), "");
    EXPECT_EQ(leaf_prefix("", '@'), "");
}

TEST(Separator, OnlyBytesWithoutMeaningInNewickOrBlanksAreValid) {
    for (char c : std::string("-|@_/.#+~=&%!*0aZ\x7f\x80\xff")) {
        EXPECT_TRUE(is_valid_separator(c)) << static_cast<int>(static_cast<unsigned char>(c));
    }
    for (char c : std::string("(),:;'[] \t\r\n\v\f")) {
        EXPECT_FALSE(is_valid_separator(c)) << static_cast<int>(static_cast<unsigned char>(c));
    }
    EXPECT_FALSE(is_valid_separator('\0'));
}

std::string name_with(const std::string& text, char separator, const GroupRelations& groups = {}) {
    Phylogeny tree(text);
    return tavrin::clade_name(groups, tree.root, separator);
}

// A single leaf is named by its rendered text cut before the first separator: in the name when
// it holds one, else in "name:length", where only a '-' separator meets a negative length.
TEST(Separator, RenderedPrefixOfASingleLeaf) {
    EXPECT_EQ(name_with("Hsap|g12:0.1;", '|'), "Hsap");
    EXPECT_EQ(name_with("Hsap|g12:-0.5;", '|'), "Hsap");
    EXPECT_EQ(name_with("Hsap|g12:0.1;", '-'), "Hsap|g12:0.100000");
    EXPECT_EQ(name_with("Sc1:0.1;", '|'), "Sc1:0.100000");
    EXPECT_EQ(name_with("Sc1:0.1;", '-'), "Sc1:0.100000");
    EXPECT_EQ(name_with("Sc1:-0.5;", '|'), "Sc1:-0.500000");
    EXPECT_EQ(name_with("Sc1:-0.5;", '-'), "Sc1:");
    // Both bytes in one name: only the chosen one ends the prefix.
    EXPECT_EQ(name_with("Homo-sapiens|g1:0.1;", '|'), "Homo-sapiens");
    EXPECT_EQ(name_with("Homo-sapiens|g1:0.1;", '-'), "Homo");
    // A separator that the rendered length holds cuts there, as '-' does.
    EXPECT_EQ(name_with("Sc1:0.1;", '.'), "Sc1:0");
}

TEST(Separator, CladesAreNamedByThePrefixBeforeTheSeparator) {
    EXPECT_EQ(name_with("(Homo-sapiens@g1,Homo-sapiens@g2);", '@'), "Homo-sapiens");
    EXPECT_EQ(name_with("(Homo-sapiens@g1,Homo-pan@g2);", '@'), "");
    EXPECT_EQ(name_with("(Homo-sapiens@g1,Homo-pan@g2);", '-'), "Homo");
    EXPECT_EQ(name_with("(Sc1,Sc1);", '|'), "");  // the candidate is the rendered text

    const TempFile file("Mammalia Hsap\nMammalia Mmus\n");
    GroupRelations groups;
    ASSERT_EQ(groups.load(file.path()), GroupRelations::LoadResult::kLoaded);
    EXPECT_EQ(name_with("(Hsap|1,Mmus|2);", '|', groups), "Mammalia");
    EXPECT_EQ(name_with("(Hsap|1,Mmus|2);", '-', groups), "");
    Phylogeny tree("((Hsap|1,Mmus|2),Drer|3);");
    EXPECT_TRUE(tavrin::wholly_in_group(groups, tree.root->left, "Mammalia", '|'));
    EXPECT_FALSE(tavrin::wholly_in_group(groups, tree.root->left, "Mammalia", '-'));
    EXPECT_FALSE(tavrin::wholly_in_group(groups, tree.root, "Mammalia", '|'));
    EXPECT_TRUE(tavrin::wholly_in_group(groups, tree.root->right, "Drer", '|'));
}

AnalysisResult analyse(const std::string& text, const std::string& prefix, char separator,
                       const std::string& group_file = "") {
    AnalysisSettings settings;
    settings.prefix = prefix;
    settings.separator = separator;
    if (!group_file.empty()) {
        EXPECT_EQ(settings.groups.load(group_file), GroupRelations::LoadResult::kLoaded);
    }
    Phylogeny tree(text);
    return tavrin::analyse_tree(tree, settings);
}

// The group test of the target test and of naming reads the prefix before the separator; the
// search prefix itself is still matched against the start of the whole name.
TEST(Separator, TargetTestThroughTheGroupFileAndByThePlainPrefix) {
    const TempFile groups("Mammalia Hsap\nMammalia Mmus\n");
    const std::string tree = "(((Hsap|1,Mmus|2)90,Drer|3)80,(Drer|4,Drer|5)70);";

    const AnalysisResult by_group = analyse(tree, "Mammalia", '|', groups.path());
    EXPECT_EQ(by_group.status, TreeStatus::kSisters);
    EXPECT_EQ(by_group.sisters, Names{"Drer"});
    EXPECT_EQ(by_group.target_leaves, 2u);
    EXPECT_EQ(by_group.support.value, 80);

    const AnalysisResult with_hyphen = analyse(tree, "Mammalia", '-', groups.path());
    EXPECT_EQ(with_hyphen.status, TreeStatus::kNoTarget);

    for (char separator : {'|', '-'}) {
        const AnalysisResult by_prefix = analyse(tree, "Hsap|", separator);
        EXPECT_EQ(by_prefix.status, TreeStatus::kSisters);
        EXPECT_EQ(by_prefix.target_leaves, 1u);
        EXPECT_EQ(analyse(tree, "Drer", separator).target_leaves, 3u);
    }
    // Leaves are named by their prefix only when the separator is the one in their names;
    // otherwise a single leaf gets its rendered text and (Drer|4,Drer|5) no name at all.
    EXPECT_EQ(analyse(tree, "Hsap", '|').sisters, (Names{"Mmus", "Drer"}));
    EXPECT_EQ(analyse(tree, "Hsap", '-').sisters, Names{"Mmus|2:0.000000"});
}

// Gene trees whose groups are clades, joined in random order, with a few leaves moved to the
// wrong group, random supports and lengths, and names such as Fungi-Sc-3, -x or Sc7.
class GeneTrees {
public:
    explicit GeneTrees(unsigned seed) : random_(seed) {}

    std::string next() {
        std::vector<std::string> names;
        const std::size_t groups = 2 + random_() % kGroups.size();
        std::vector<std::string> clades;
        for (std::size_t g = 0; g < groups; ++g) {
            const std::string& group = kGroups[random_() % kGroups.size()];
            std::vector<std::string> leaves(1 + random_() % 5);
            for (std::string& leaf : leaves)
                leaf = leaf_name(group, names);
            clades.push_back(join(leaves));
        }
        std::string text = join(clades) + ";";
        // Move a few leaves: swap the names of two of them.
        for (unsigned swaps = random_() % 3; swaps > 0; --swaps) {
            const std::string& a = names[random_() % names.size()];
            const std::string& b = names[random_() % names.size()];
            if (a == b) continue;
            const std::string marker = "\x01";
            replace_once(text, a + ":", marker);
            replace_once(text, b + ":", a + ":");
            replace_once(text, marker, b + ":");
        }
        return text;
    }

    static const std::vector<std::string> kGroups;

private:
    std::string leaf_name(const std::string& group, std::vector<std::string>& names) {
        const std::string number = std::to_string(names.size());
        std::string name;
        switch (random_() % 16) {
            case 0:
                name = "Sc" + number;  // no group at all
                break;
            case 1:
                name = "-x" + number;  // the empty group
                break;
            case 2:
            case 3:
                name = group + "-Sc-" + number;
                break;
            default:
                name = group + "-g" + number;
        }
        names.push_back(name);
        return name + ":" + std::to_string((random_() % 1000) / 1000.0);
    }

    // Joins `parts` two at a time in random order into one subtree.
    std::string join(std::vector<std::string> parts) {
        while (parts.size() > 1) {
            std::swap(parts[random_() % parts.size()], parts.back());
            std::string right = std::move(parts.back());
            parts.pop_back();
            std::string& left = parts[random_() % parts.size()];
            left = "(" + left + "," + right + ")" + std::to_string(random_() % 101) + ":" +
                   std::to_string((random_() % 100) / 100.0);
        }
        return parts.front();
    }

    static void replace_once(std::string& text, const std::string& from, const std::string& to) {
        const std::size_t at = text.find(from);
        if (at != std::string::npos) text.replace(at, from.size(), to);
    }

    std::mt19937 random_;
};

const std::vector<std::string> GeneTrees::kGroups = {"Choano",    "Metazoa", "Fungi",
                                                     "Amoebozoa", "Plantae", "Rhodo"};

std::string renamed(std::string text, char separator) {
    std::replace(text.begin(), text.end(), '-', separator);
    return text;
}

// Renaming every '-' of every leaf name to another separator, and analysing with it, gives the
// same outcome, sisters, support, "n/a" and tree as the original with '-'.
TEST(Separator, RenamedTreesGiveTheSameAnswer) {
    const TempFile groups(
        "Holozoa Choano\nHolozoa Metazoa\nOpisthokonta Holozoa\nOpisthokonta Fungi\n"
        "Amorphea Opisthokonta\nAmorphea Amoebozoa\nArchaeplastida Plantae\n"
        "Archaeplastida Rhodo\n");
    const std::string separators = "|@_/+~#\xa7";
    const std::vector<std::pair<std::string, bool>> targets = {
        {"Choano", false},           {"Fungi", false}, {"Holozoa", false}, {"Amorphea", false},
        {"^(Choano|Metazoa)", true}, {"Rhodo", true}};
    GeneTrees trees(20261207);
    std::map<TreeStatus, int> outcomes;
    int not_applicable = 0, rerooted_trees = 0;
    for (int i = 0; i < 400; ++i) {
        const std::string text = trees.next();
        const auto& [prefix, use_regex] = targets[i % targets.size()];
        const char separator = separators[i % separators.size()];
        SCOPED_TRACE(text + " " + prefix + " " + separator);

        AnalysisSettings settings;
        settings.prefix = prefix;
        settings.use_regex = use_regex;
        ASSERT_EQ(settings.groups.load(groups.path()), GroupRelations::LoadResult::kLoaded);
        Phylogeny original(text);
        const AnalysisResult expected = tavrin::analyse_tree(original, settings);

        settings.separator = separator;
        Phylogeny other(renamed(text, separator));
        const AnalysisResult result = tavrin::analyse_tree(other, settings);

        EXPECT_EQ(result.status, expected.status);
        Names expected_sisters;
        for (const std::string& name : expected.sisters)
            expected_sisters.push_back(renamed(name, separator));
        EXPECT_EQ(result.sisters, expected_sisters);
        EXPECT_EQ(result.support.value, expected.support.value);
        EXPECT_EQ(result.support.applies, expected.support.applies);
        EXPECT_EQ(result.support.applies, expected.support.applies);
        EXPECT_EQ(result.rerooted, expected.rerooted);
        EXPECT_EQ(result.target_leaves, expected.target_leaves);
        EXPECT_EQ(other.root->print(), renamed(original.root->print(), separator));

        ++outcomes[expected.status];
        if (expected.status == TreeStatus::kSisters && !expected.support.applies) ++not_applicable;
        if (expected.rerooted) ++rerooted_trees;
    }
    // The trees reach every outcome, "n/a" and the reroot.
    EXPECT_EQ(outcomes.size(), 5u);
    EXPECT_GT(not_applicable, 0);
    EXPECT_GT(rerooted_trees, 0);
}

}  // namespace

}  // namespace tavrin
