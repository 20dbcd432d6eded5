// Trees as MrBayes and RAxML write them (files made by tests/data/bayesian/make_trees.sh):
// consensus trees with posteriors in attribute comments, sampled trees behind a TRANSLATE table,
// and RAxML's supports as branch labels in brackets.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <optional>
#include <regex>
#include <string>
#include <vector>

#include "platform/files.h"
#include "support/reference_reader.h"
#include "support/tree_check.h"
#include "support/tree_reads.h"
#include "tree/tree_reader.h"
#include "tree/walk.h"

namespace tavrin {

namespace {

namespace fs = std::filesystem;

const fs::path kData = fs::path(__FILE__).parent_path().parent_path() / "data" / "bayesian";

std::string bytes_of(const std::string& name) {
    return tree_reads::file_bytes(kData / name);
}

std::vector<tavrin::TreeRead> read_all(const std::string& text, const std::string& attribute,
                                       std::string* notes = nullptr, std::size_t skip = 0) {
    tavrin::ReadOptions options;
    options.dialect = tavrin::Dialect::kStandard;
    options.support_attribute = attribute;
    tavrin::TreeReader reader(text, options);
    reader.skip(skip);
    std::vector<tavrin::TreeRead> reads = tree_reads::read_trees(reader);
    if (notes != nullptr) *notes = reader.unused_comment_values();
    return reads;
}

std::vector<double> supports(const Phylogeny_Node* root) {
    std::vector<double> values;
    tavrin::preorder(root, [&](const Phylogeny_Node* n) {
        if (!n->is_leaf) values.push_back(n->support);
    });
    return values;
}

// The names of the TAXA block, in order.
std::vector<std::string> taxlabels(const std::string& text) {
    const std::size_t first = text.find("taxlabels") + 9;
    const std::string block = text.substr(first, text.find(';', first) - first);
    std::vector<std::string> names;
    const std::regex word(R"(\S+)");
    for (std::sregex_iterator it(block.begin(), block.end(), word), end; it != end; ++it)
        names.push_back(it->str());
    return names;
}

std::vector<std::string> sorted(std::vector<std::string> names) {
    std::sort(names.begin(), names.end());
    return names;
}

TEST(BayesianFiles, MrBayesConsensusTreesGiveTheirPosteriors) {
    for (int k = 1; k <= 3; ++k) {
        const std::string name = "g" + std::to_string(k) + ".nex.con.tre";
        SCOPED_TRACE(name);
        const std::string text = bytes_of(name);
        std::string notes;
        const std::vector<tavrin::TreeRead> plain = read_all(text, "", &notes);
        const std::vector<tavrin::TreeRead> prob = read_all(text, "prob");
        const std::vector<tavrin::TreeRead> percent = read_all(text, "prob(percent)");
        ASSERT_EQ(plain.size(), 1u);
        ASSERT_EQ(prob.size(), 1u);
        ASSERT_EQ(percent.size(), 1u);
        // The leaves carry the names of the TAXA block, through the TRANSLATE table.
        EXPECT_EQ(sorted(tree_check::leaf_names(prob[0].tree->root)), sorted(taxlabels(text)));
        // Without the attribute every support reads 0, and the notes name what the comments hold.
        for (const double s : supports(plain[0].tree->root))
            EXPECT_EQ(s, 0);
        EXPECT_EQ(notes, "prob, prob_stddev, prob_range, prob(percent), prob+-sd");
        // Fractions and rounded percentages of the same splits.
        const std::vector<double> p = supports(prob[0].tree->root);
        const std::vector<double> pc = supports(percent[0].tree->root);
        ASSERT_EQ(p.size(), pc.size());
        int high = 0;
        for (std::size_t i = 0; i < p.size(); ++i) {
            EXPECT_LE(p[i], 1);
            EXPECT_NEAR(pc[i], 100 * p[i], 0.5 + 1e-9) << i;
            if (p[i] >= 0.95) ++high;
        }
        EXPECT_GT(high, 5);
    }
}

TEST(BayesianFiles, MrBayesSampledTreesBehindTheTranslateTable) {
    for (int k = 1; k <= 3; ++k) {
        const std::string name = "g" + std::to_string(k) + ".nex.run1.t";
        SCOPED_TRACE(name);
        const std::string text = bytes_of(name);
        std::string notes;
        const std::vector<tavrin::TreeRead> trees = read_all(text, "", &notes);
        ASSERT_EQ(trees.size(), 21u);  // generations 0 to 20,000, one every 1,000
        const std::vector<std::string> names = sorted(tree_check::leaf_names(
            read_all(bytes_of("g" + std::to_string(k) + ".nex.con.tre"), "prob")[0].tree->root));
        for (const tavrin::TreeRead& read : trees)
            EXPECT_EQ(sorted(tree_check::leaf_names(read.tree->root)), names);
        EXPECT_EQ(notes, "");  // no supports and no comments: nothing to warn of
        const std::vector<tavrin::TreeRead> after = read_all(text, "", nullptr, 18);
        ASSERT_EQ(after.size(), 3u);
        EXPECT_EQ(dump(after[2].tree->root, bits), dump(trees[20].tree->root, bits));
    }
}

TEST(BayesianFiles, RaxmlBranchLabelsReadAsItsLabelledTree) {
    for (int k = 1; k <= 2; ++k) {
        SCOPED_TRACE(k);
        const std::string suffix = ".g" + std::to_string(k);
        const std::string branch = bytes_of("RAxML_bipartitionsBranchLabels" + suffix);
        const std::vector<tavrin::TreeRead> labels =
            read_all(bytes_of("RAxML_bipartitions" + suffix), "");
        const std::vector<tavrin::TreeRead> brackets = read_all(branch, "");
        ASSERT_EQ(labels.size(), 1u);
        ASSERT_EQ(brackets.size(), 1u);
        EXPECT_EQ(dump(brackets[0].tree->root, bits), dump(labels[0].tree->root, bits));
        // The supports are there, not 0 as the brackets' plain reading would give.
        std::size_t nonzero = 0;
        for (const double s : supports(brackets[0].tree->root))
            nonzero += s != 0;
        EXPECT_GT(nonzero, 20u);
    }
}

}  // namespace

}  // namespace tavrin
