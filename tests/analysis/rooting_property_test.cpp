// Rooting by a list takes the tree as unrooted: one unrooted tree written with its root on any of
// its branches (supports and lengths on their branches) gives the same table row under
// `midpoint`, under an outgroup list and with outliers set aside. Sisters and outlier leaves are
// compared as sets: their order may follow the file. Checked on the realistic gene trees and on
// small random trees whose root children carry different supports.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "analysis/pipeline.h"
#include "output/report.h"
#include "platform/files.h"
#include "support/analysis_fixtures.h"
#include "support/rooted_rewrite.h"
#include "tree/phylogeny.h"
#include "tree/tree_reader.h"

namespace tavrin {

namespace {

using tavrin::AnalysisResult;
using tavrin::AnalysisSettings;

AnalysisSettings settings_for(const std::string& prefix, const std::string& root,
                              const std::string& group_file = "") {
    AnalysisSettings settings;
    settings.prefix = prefix;
    settings.root = analysis_fixtures::root_list_of(root);
    if (!group_file.empty()) {
        EXPECT_EQ(settings.groups.load(group_file), GroupRelations::LoadResult::kLoaded);
    }
    return settings;
}

std::string sorted_joined(std::vector<std::string> names) {
    std::sort(names.begin(), names.end());
    std::string joined;
    for (const std::string& name : names)
        joined += name + ";";
    return joined;
}

// The row's columns, sisters and outlier leaves as sets.
std::string row_of(const std::string& text, const AnalysisSettings& settings, std::size_t bound) {
    tavrin::TreeReader reader(text);
    std::unique_ptr<Phylogeny> tree = std::move(reader.next()->tree);
    const AnalysisResult result = analysis_fixtures::analyse_with_outliers(tree, settings, bound);
    std::ostringstream row;
    row << static_cast<int>(result.status) << " sisters " << sorted_joined(result.sisters)
        << " support ";
    if (!result.sisters.empty()) tavrin::write_support(row, result.support);
    // The table shows whether the search rerooted only for a tree whose clade it found.
    const bool found = result.status == tavrin::TreeStatus::kSisters ||
                       result.status == tavrin::TreeStatus::kUnnamed;
    row << " rerooted " << (found && result.rerooted) << " target " << result.target_leaves
        << " outliers " << (result.outliers.count ? std::to_string(*result.outliers.count) : "-")
        << " " << sorted_joined(result.outliers.names) << " root " << result.root;
    return row.str();
}

// Expects every rewriting of `text` on the branches `branches` picks to give its row.
template <typename Pick>
void expect_same_rows(const std::string& text, const std::vector<AnalysisSettings>& settings,
                      Pick branches) {
    const Phylogeny tree(text);
    const rooted_rewrite::Unrooted unrooted(tree);
    for (const std::size_t branch : branches(unrooted.branch_count())) {
        const std::string rewritten = unrooted.rooted_on(branch, 0.3);
        for (const AnalysisSettings& s : settings) {
            for (const std::size_t bound : {0, 2}) {
                EXPECT_EQ(row_of(rewritten, s, bound), row_of(text, s, bound))
                    << "root list " << s.root.text << ", outliers " << bound << ", target "
                    << s.prefix << "\n"
                    << text << "\nrooted on branch " << branch << ":\n"
                    << rewritten;
            }
        }
    }
}

TEST(RootingProperty, GeneTreesGiveOneRowWhereverTheirRootWasWritten) {
    const std::string genes = std::string(TAVRIN_SOURCE_DIR) + "/bench/genes/";
    std::vector<AnalysisSettings> settings;
    for (const char* target : {"Choano", "Fungi", "Stramen", "Viridi"}) {
        for (const char* root : {"midpoint", "Excavata,Archaeplastida,midpoint"})
            settings.push_back(settings_for(target, root, genes + "groups.txt"));
    }
    const auto six_branches = [](std::size_t count) {
        std::vector<std::size_t> picked;
        for (std::size_t i = 0; i < 6; ++i)
            picked.push_back(i * (count - 1) / 5);
        return picked;
    };
    std::size_t trees = 0;
    for (const char* program : {"fasttree", "iqtree", "raxml"}) {
        for (int gene = 1; gene <= 35; ++gene) {
            char name[16];
            std::snprintf(name, sizeof name, "/g%03d.nwk", gene);
            std::string text;
            ASSERT_TRUE(tavrin::read_tree_file(genes + program + name, text)) << program << name;
            SCOPED_TRACE(std::string(program) + name);
            expect_same_rows(text, settings, six_branches);
            ++trees;
        }
    }
    EXPECT_EQ(trees, 105u);
}

// A random two-child tree of `leaves` leaves named F-, M-, P- and O-, with lengths and supports.
std::string random_tree(std::mt19937& rng, int leaves) {
    const char* const prefixes[] = {"F-", "M-", "P-", "O-"};
    std::vector<std::string> items;
    for (int i = 0; i < leaves; ++i) {
        items.push_back(std::string(prefixes[rng() % 4]) + std::to_string(i) + ":" +
                        std::to_string(1 + rng() % 100) + "e-2");
    }
    while (items.size() > 1) {
        const std::size_t at = rng() % (items.size() - 1);
        items[at] = "(" + items[at] + "," + items[at + 1] + ")" + std::to_string(rng() % 101) +
                    ":" + std::to_string(1 + rng() % 100) + "e-2";
        items.erase(items.begin() + static_cast<long>(at) + 1);
    }
    return items[0] + ";";
}

TEST(RootingProperty, RandomTreesGiveOneRowWhereverTheirRootWasWritten) {
    std::mt19937 rng(20261208);
    const std::vector<AnalysisSettings> settings{settings_for("F", "midpoint"),
                                                 settings_for("F", "O,midpoint")};
    const auto every_branch = [](std::size_t count) {
        std::vector<std::size_t> all(count);
        for (std::size_t i = 0; i < count; ++i)
            all[i] = i;
        return all;
    };
    for (int round = 0; round < 300; ++round) {
        const std::string text = random_tree(rng, 3 + round % 12);
        SCOPED_TRACE(text);
        expect_same_rows(text, settings, every_branch);
    }
}

}  // namespace

}  // namespace tavrin
