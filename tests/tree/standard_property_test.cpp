// Properties across the two dialects: a tree rewritten as standard Newick with quotes, comments,
// blanks and CRLF reads as the plain tree reads in the classic dialect (apart from the mend
// under a multifurcating root); a text of N trees gives the N trees; and the support field
// picks one part of a label the same way on every reading path, field 1 giving the classic
// supports.
#include <gtest/gtest.h>

#include <optional>
#include <random>
#include <string>
#include <vector>

#include "support/random_newick.h"
#include "support/reference_reader.h"
#include "support/tree_check.h"
#include "tree/newick_reader.h"
#include "tree/phylogeny.h"
#include "tree/tree_reader.h"

namespace tavrin {

namespace {

tavrin::ReadOptions standard(int field = 1) {
    tavrin::ReadOptions options;
    options.dialect = tavrin::Dialect::kStandard;
    options.support_field = field;
    return options;
}

// The classic reading of `body` (without ';'), with the mend standard Newick makes under a root
// of three or more children.
std::string classic_with_mend(const random_newick::Written& w, int field = 1) {
    tavrin::ReadOptions options;
    options.support_field = field;
    tavrin::TreeReader reader(w.classic + ";", options);
    std::optional<tavrin::TreeRead> read = reader.next();
    Phylogeny_Node* root = read->tree->root;
    if (w.root_children >= 3) root->left->support = root->right->support;
    return dump(root, bits);
}

std::vector<std::string> standard_dumps(const std::string& text, int field = 1) {
    std::vector<std::string> dumps;
    tavrin::TreeReader reader(text, standard(field));
    while (std::optional<tavrin::TreeRead> read = reader.next()) {
        if (read->tree == nullptr) {
            dumps.push_back("malformed: " + read->malformed.what);
            continue;
        }
        EXPECT_EQ(tree_check::check_links(read->tree->root), "");
        dumps.push_back(dump(read->tree->root, bits));
    }
    return dumps;
}

TEST(StandardProperty, RewrittenTreeReadsAsThePlainTree) {
    std::mt19937 rng(16);
    random_newick::Writer writer(rng);
    for (int round = 0; round < 400; ++round) {
        const random_newick::Written w = writer.tree(1 + static_cast<int>(rng() % 30));
        const int field = 1 + static_cast<int>(rng() % 3);
        EXPECT_EQ(standard_dumps(w.standard + ";\r\n", field),
                  std::vector<std::string>{classic_with_mend(w, field)})
            << w.standard << "\nplain: " << w.classic;
    }
}

TEST(StandardProperty, TextOfNTreesGivesTheNTrees) {
    std::mt19937 rng(1607);
    random_newick::Writer writer(rng);
    for (int round = 0; round < 40; ++round) {
        std::string text;
        std::vector<std::string> expected;
        const int count = 1 + static_cast<int>(rng() % 12);
        for (int k = 0; k < count; ++k) {
            const random_newick::Written w = writer.tree(1 + static_cast<int>(rng() % 12));
            text += w.standard + (rng() % 2 ? ";\n" : ";\r\n");
            expected.push_back(classic_with_mend(w));
        }
        EXPECT_EQ(standard_dumps(text), expected) << text;
    }
}

struct FieldCase {
    std::string label;
    double supports[3];  // fields 1, 2 and 3
};

TEST(SupportField, PicksOnePartOfTheLabelOnEveryReadingPath) {
    const std::vector<FieldCase> cases = {
        {"98.5/99", {98.5, 99, 0}},
        {"99.6/100/0.98", {99.6, 100, 0.98}},
        {"80", {80, 0, 0}},
        {"/75", {0, 75, 0}},
        {"clade/90", {0, 90, 0}},
        {"70//5", {70, 0, 5}},
        {"", {0, 0, 0}},
        {" 1e2/ 2x", {100, 2, 0}},
    };
    for (const FieldCase& c : cases) {
        for (int field = 1; field <= 3; ++field) {
            SCOPED_TRACE("label '" + c.label + "', field " + std::to_string(field));
            tavrin::ReadOptions options;
            options.support_field = field;
            const double want = c.supports[field - 1];
            // One pass, the general rules, and standard Newick.
            const std::string body = "((A,B)" + c.label + ":0.5,C)";
            Phylogeny_Node one_pass, general;
            ASSERT_TRUE(
                tavrin::read_well_formed(&one_pass, nullptr, body, 0, body.size(), options));
            EXPECT_EQ(one_pass.left->support, want);
            tavrin::read_general(&general, nullptr, body, 0, body.size(), options);
            EXPECT_EQ(general.left->support, want);
            tavrin::TreeReader quoted("((A,B)'" + c.label + "':0.5,C);", standard(field));
            EXPECT_EQ(quoted.next()->tree->root->left->support, want);
        }
    }
}

TEST(SupportField, FieldOneGivesTheClassicSupportsOnEveryPath) {
    std::mt19937 rng(99);
    random_newick::Writer writer(rng);
    tavrin::ReadOptions field_one;
    field_one.support_field = 1;
    for (int round = 0; round < 200; ++round) {
        const std::string body = writer.tree(2 + static_cast<int>(rng() % 20)).classic;
        Phylogeny_Node plain, chosen;
        ASSERT_TRUE(tavrin::read_well_formed(&plain, nullptr, body, 0, body.size()));
        ASSERT_TRUE(tavrin::read_well_formed(&chosen, nullptr, body, 0, body.size(), field_one));
        EXPECT_EQ(dump(&chosen, bits), dump(&plain, bits)) << body;
        Phylogeny_Node general_plain, general_chosen;
        tavrin::read_general(&general_plain, nullptr, body, 0, body.size());
        tavrin::read_general(&general_chosen, nullptr, body, 0, body.size(), field_one);
        EXPECT_EQ(dump(&general_chosen, bits), dump(&general_plain, bits)) << body;
        EXPECT_EQ(dump(&general_chosen, bits), dump(&plain, bits)) << body;
    }
}

}  // namespace

}  // namespace tavrin
