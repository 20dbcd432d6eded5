// The one-pass reader for well-formed text and the general reader must build the same tree;
// the general reader must also cope with any text at all.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "support/input_checks.h"
#include "tree/newick_reader.h"
#include "tree/phylogeny.h"

namespace tavrin {

namespace {

std::string random_tree(std::mt19937& rng, int leaves) {
    // Build by repeatedly grouping neighbours, with multifurcations, supports and lengths.
    std::vector<std::string> items;
    for (int i = 0; i < leaves; ++i) {
        std::string leaf = "T" + std::to_string(i) + (rng() % 2 ? "-x" : "");
        if (rng() % 3) leaf += ":" + std::to_string(rng() % 1000 / 100.0);
        if (rng() % 7 == 0) leaf = " " + leaf;
        items.push_back(leaf);
    }
    while (items.size() > 1) {
        const size_t width = std::min<size_t>(items.size(), 2 + rng() % 3);
        const size_t at = rng() % (items.size() - width + 1);
        std::string node = "(";
        for (size_t k = 0; k < width; ++k)
            node += (k ? "," : "") + items[at + k];
        node += ")";
        switch (rng() % 4) {
            case 0:
                node += std::to_string(rng() % 100);
                break;
            case 1:
                node += ":" + std::to_string(rng() % 50 / 10.0);
                break;
            case 2:
                node += std::to_string(rng() % 100) + ":0.25";
                break;
            default:
                break;
        }
        items.erase(items.begin() + static_cast<long>(at),
                    items.begin() + static_cast<long>(at + width));
        items.insert(items.begin() + static_cast<long>(at), node);
    }
    return items[0];
}

std::string general_dump(const std::string& text) {
    Phylogeny_Node node;
    tavrin::read_general(&node, nullptr, text, 0, text.size());
    return dump(&node, bits);
}

}  // namespace

TEST(ReaderPaths, WellFormedTreesReadAlikeOnBothPaths) {
    std::mt19937 rng(20261207);
    for (int round = 0; round < 300; ++round) {
        const std::string text = random_tree(rng, 1 + static_cast<int>(rng() % 40));
        Phylogeny_Node fast;
        if (text.find(',') != std::string::npos) {
            ASSERT_TRUE(tavrin::read_well_formed(&fast, nullptr, text, 0, text.size())) << text;
        } else {
            tavrin::read_node_text(&fast, nullptr, text, 0, text.size());
        }
        EXPECT_EQ(dump(&fast, bits), general_dump(text)) << text;
        EXPECT_EQ(reference_mismatch(&fast, reference_read(text)), "") << text;
    }
}

TEST(ReaderPaths, AnyTextReadsAlikeAndNeverFails) {
    // Random texts over the structural characters and a few others: odd nesting, stray
    // parentheses, empty names, blanks, pieces of numbers. Whichever path reads them, the tree
    // is the one the reading rules describe, with sound links.
    for (const std::string alphabet : {"((()),,,::AB1.5 -e", "((()),,,:::AB 1.5e-;"}) {
        std::mt19937 rng(7);
        for (int round = 0; round < 4000; ++round) {
            std::string text;
            const size_t length = rng() % 32;
            for (size_t i = 0; i < length; ++i)
                text += alphabet[rng() % alphabet.size()];
            EXPECT_EQ(tavrin_fuzz::check_reader_text(text + ";"), "") << "text: [" << text << "]";
        }
    }
}

TEST(ReaderPaths, OddTextsFallBackToTheGeneralRules) {
    // Not of the well-formed shape: a single child in parentheses, an unwrapped root, text
    // around the parentheses, redundant pairs, unbalanced parentheses.
    for (const std::string text : {"((A,B))", "(A,(B))", "A,B", "x(A,B)", "(A,B)x(C)", "((A,B),C",
                                   "(A,B)),C", "(A,B)(C,D)"}) {
        Phylogeny_Node fast;
        EXPECT_FALSE(tavrin::read_well_formed(&fast, nullptr, text, 0, text.size())) << text;
        EXPECT_EQ(fast.left, nullptr);
        Phylogeny_Node either;
        tavrin::read_node_text(&either, nullptr, text, 0, text.size());
        EXPECT_EQ(dump(&either, bits), general_dump(text)) << text;
    }
}

TEST(ReaderPaths, LargeOddTextIsReadWithoutQuadraticCost) {
    // Redundant outer parentheses around a 200,000-leaf star push the reader off the one-pass
    // path; the general reader must still finish promptly (the CTest timeout catches a slip).
    std::string text = "((";
    for (int i = 0; i < 200000; ++i)
        text += (i ? ",L" : "L") + std::to_string(i);
    text += "));";
    Phylogeny tree(text);
    ASSERT_NE(tree.root, nullptr);
    EXPECT_FALSE(tree.root->is_leaf);
    EXPECT_EQ(tree.root->right->name, "L199999)");
}

}  // namespace tavrin
