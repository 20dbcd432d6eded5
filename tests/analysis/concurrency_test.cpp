// Analyses share nothing but their read-only settings: trees analysed on two threads at once,
// with one compiled pattern and one set of group relations, give the answers they give one
// after another.
#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "analysis/group_relations.h"
#include "analysis/pipeline.h"
#include "output/table_format.h"
#include "support/analysis_fixtures.h"
#include "support/random_newick.h"
#include "tree/phylogeny.h"

namespace tavrin {

namespace {

using tavrin::AnalysisSettings;

// Gene trees of a few hundred leaves: many are no clade of Fungi as rooted, so the search
// reroots, copies the tree as read and looks for outliers.
std::vector<std::string> gene_trees() {
    std::mt19937 rng(20261208);
    random_newick::Writer writer(rng);
    std::vector<std::string> texts;
    for (int i = 0; i < 40; ++i)
        texts.push_back(writer.tree(50 + 25 * (i % 12)).classic + ";");
    return texts;
}

// The table row of each tree, with the tree as the analysis left it.
std::vector<std::string> analyse_all(const std::vector<std::string>& texts,
                                     const Analysis& analysis) {
    std::vector<std::string> answers;
    AnalysisNeeds needs;
    needs.outliers = true;
    for (std::size_t i = 0; i < texts.size(); ++i) {
        auto tree = std::make_unique<Phylogeny>(texts[i]);
        const tavrin::AnalysisResult result = analyse(*tree, analysis, needs);
        std::ostringstream row;
        row << analysis_fixtures::table_row_text(result, "t", i + 1, analysis.settings().prefix);
        answers.push_back(row.str() + tree->root->print());
    }
    return answers;
}

TEST(Concurrency, TwoThreadsGiveTheSerialAnswers) {
    const analysis_fixtures::TempFile groups("Opisthokonta Fungi\nOpisthokonta Metazoa\n");
    for (const bool use_regex : {false, true}) {
        AnalysisSettings settings;
        settings.prefix = use_regex ? "^Fung[i]-S" : "Fungi";
        settings.use_regex = use_regex;
        settings.max_outliers = 3;
        ASSERT_EQ(settings.groups.load(groups.path()), GroupRelations::LoadResult::kLoaded);
        // One analysis, its pattern compiled once, read by both threads.
        const Analysis analysis(settings);
        ASSERT_EQ(analysis.pattern_error(), "");
        const std::vector<std::string> texts = gene_trees();
        const std::vector<std::string> serial = analyse_all(texts, analysis);

        std::vector<std::string> first, second;
        std::thread one([&] { first = analyse_all(texts, analysis); });
        std::thread two([&] { second = analyse_all(texts, analysis); });
        one.join();
        two.join();
        EXPECT_EQ(first, serial);
        EXPECT_EQ(second, serial);
    }
}

}  // namespace

}  // namespace tavrin
