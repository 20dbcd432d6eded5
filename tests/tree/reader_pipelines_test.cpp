// Trees as FastTree, IQ-TREE and RAxML write them, and as a tree library rewrites them (files
// made by tests/data/pipelines/make_trees.sh): standard Newick reads them as the classic reader
// does apart from the mend under their three-child roots, the support field picks IQ-TREE's
// bootstrap, and the multi-tree files give their trees in order.
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

const fs::path kData = fs::path(__FILE__).parent_path().parent_path() / "data" / "pipelines";
const char* const kPrograms[] = {"fasttree", "iqtree", "raxml"};

std::string bytes_of(const std::string& name) {
    return tree_reads::file_bytes(kData / name);
}

std::vector<tavrin::TreeRead> read_standard(const std::string& text, int field = 1) {
    tavrin::ReadOptions options;
    options.dialect = tavrin::Dialect::kStandard;
    options.support_field = field;
    tavrin::TreeReader reader(text, options);
    return tree_reads::read_trees(reader);
}

std::vector<double> supports(const Phylogeny_Node* root) {
    std::vector<double> values;
    tavrin::preorder(root, [&](const Phylogeny_Node* n) {
        if (!n->is_leaf) values.push_back(n->support);
    });
    std::sort(values.begin(), values.end());
    return values;
}

TEST(ReaderPipelines, ProgramOutputReadsAsTheClassicReaderReadsItWithTheRootMend) {
    for (int k = 1; k <= 3; ++k) {
        for (const char* program : kPrograms) {
            const std::string name = program + std::to_string(k) + ".nwk";
            SCOPED_TRACE(name);
            std::string joined;
            ASSERT_TRUE(tavrin::read_tree_file((kData / name).string(), joined));
            tavrin::TreeReader classic(joined);
            std::optional<tavrin::TreeRead> plain = classic.next();
            ASSERT_NE(plain->tree, nullptr);
            Phylogeny_Node* root = plain->tree->root;
            // Unrooted output: three children at the root, folded into two.
            EXPECT_EQ(root->left->support, 0);
            root->left->support = root->right->support;

            const std::vector<tavrin::TreeRead> standard = read_standard(bytes_of(name));
            ASSERT_EQ(standard.size(), 1u);
            EXPECT_EQ(tree_check::leaf_count(standard[0].tree->root), 14u);
            EXPECT_EQ(dump(standard[0].tree->root, bits), dump(root, bits));
        }
    }
}

TEST(ReaderPipelines, SupportFieldTwoReadsIqTreesBootstrap) {
    for (int k = 1; k <= 3; ++k) {
        const std::string name = "iqtree" + std::to_string(k) + ".nwk";
        SCOPED_TRACE(name);
        const std::string text = bytes_of(name);
        // The labels as written: "SH-aLRT/UFBoot" after each ')'.
        std::vector<double> first, second;
        const std::regex label(R"(\)([0-9.]+)/([0-9.]+))");
        for (std::sregex_iterator it(text.begin(), text.end(), label), end; it != end; ++it) {
            first.push_back(std::stod((*it)[1]));
            second.push_back(std::stod((*it)[2]));
        }
        ASSERT_GE(first.size(), 5u);
        const std::vector<tavrin::TreeRead> one = read_standard(text, 1);
        const std::vector<tavrin::TreeRead> two = read_standard(text, 2);
        ASSERT_EQ(one.size(), 1u);
        ASSERT_EQ(two.size(), 1u);
        // Every internal node carries a label but the root and the fold under it, which takes
        // the support of the root's last child.
        std::vector<double> got_first = supports(one[0].tree->root);
        std::vector<double> got_second = supports(two[0].tree->root);
        first.push_back(0);
        first.push_back(one[0].tree->root->right->support);
        second.push_back(0);
        second.push_back(two[0].tree->root->right->support);
        std::sort(first.begin(), first.end());
        std::sort(second.begin(), second.end());
        EXPECT_EQ(got_first, first);
        EXPECT_EQ(got_second, second);
        EXPECT_NE(got_first, got_second);
    }
}

TEST(ReaderPipelines, MultiTreeFilesGiveTheirTreesInOrder) {
    std::vector<std::string> singles;
    for (int k = 1; k <= 3; ++k) {
        for (const char* program : kPrograms) {
            const std::vector<tavrin::TreeRead> reads =
                read_standard(bytes_of(program + std::to_string(k) + ".nwk"));
            singles.push_back(reads.empty() ? "" : dump(reads[0].tree->root, bits));
        }
    }
    std::vector<std::string> many, library;
    for (const tavrin::TreeRead& read : read_standard(bytes_of("many_trees.nwk")))
        many.push_back(dump(read.tree->root, bits));
    EXPECT_EQ(many, singles);

    // Quoted names, comments, indentation and CRLF: the same nine trees, and one more.
    const std::vector<tavrin::TreeRead> reads = read_standard(bytes_of("library.nwk"));
    ASSERT_EQ(reads.size(), singles.size() + 1);
    for (size_t i = 0; i < singles.size(); ++i)
        library.push_back(dump(reads[i].tree->root, bits));
    EXPECT_EQ(library, singles);
    const std::vector<std::string> names = tree_check::leaf_names(reads.back().tree->root);
    EXPECT_NE(std::find(names.begin(), names.end(), "Metazoa-Homo sapiens1"), names.end());
}

}  // namespace

}  // namespace tavrin
