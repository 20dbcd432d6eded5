// Supports written in comments: attribute lists as MrBayes, BEAST, TreeAnnotator and NHX write
// them, RAxML's bare numbers after the length, and the notes behind the warning for a file whose
// supports all read 0.
#include <gtest/gtest.h>

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "tree/node_comments.h"
#include "tree/tree_reader.h"

namespace tavrin {

namespace {

std::optional<double> attribute(const std::string& comment, const std::string& name) {
    double value = -1;
    if (!tavrin::attribute_value(comment, name, value)) return std::nullopt;
    return value;
}

TEST(NodeComments, AttributeValuesAsTheProgramsWriteThem) {
    const std::string mrbayes =
        "&prob=9.68750000e-01,prob_stddev=4.41941738e-02,prob_range={9.37500000e-01,"
        "1.00000000e+00},prob(percent)=\"97\",prob+-sd=\"97+-4\"";
    EXPECT_EQ(attribute(mrbayes, "prob"), 0.96875);
    EXPECT_EQ(attribute(mrbayes, "prob(percent)"), 97);
    EXPECT_EQ(attribute(mrbayes, "prob_range"), 0.9375);  // a list reads its first element
    EXPECT_EQ(attribute(mrbayes, "prob+-sd"), 97);        // the number at the start
    EXPECT_EQ(attribute(mrbayes, "Prob"), std::nullopt);  // names compared exactly
    EXPECT_EQ(attribute(mrbayes, "pro"), std::nullopt);

    const std::string beast = "&height=12.5,height_95%_HPD={10.1,15.2},posterior=0.9921,rate=1";
    EXPECT_EQ(attribute(beast, "posterior"), 0.9921);
    EXPECT_EQ(attribute(beast, "height_95%_HPD"), 10.1);
    EXPECT_EQ(attribute("&&NHX:S=human:B=97:D=N", "B"), 97);
    EXPECT_EQ(attribute("&&NHX:S=human:B=97:D=N", "S"), 0);  // not a number
    // The first one counts; a value in single quotes, blanks, lists of lists.
    EXPECT_EQ(attribute("&support=0.5,support=0.9", "support"), 0.5);
    EXPECT_EQ(attribute("& p = '0.25' ,q=1", "p"), 0.25);
    EXPECT_EQ(attribute("&p={{\"0.5\",2},3}", "p"), 0.5);
    // Commas inside quotes and braces do not end the value.
    EXPECT_EQ(attribute("&note=\"a,b=3\",b=4", "b"), 4);
    EXPECT_EQ(attribute("&set={b=1,b=2},b=5", "b"), 5);
    // Not attribute lists.
    EXPECT_EQ(attribute("prob=0.9", "prob"), std::nullopt);
    EXPECT_EQ(attribute("&U", "U"), std::nullopt);
    EXPECT_EQ(attribute("", "prob"), std::nullopt);
    EXPECT_EQ(attribute("&prob", "prob"), std::nullopt);
    EXPECT_EQ(attribute("&prob=", "prob"), 0);
}

TEST(NodeComments, BareNumbersAreOneNumberAndNothingElse) {
    double value = 0;
    EXPECT_TRUE(tavrin::bare_number("100", value));
    EXPECT_EQ(value, 100);
    EXPECT_TRUE(tavrin::bare_number(" 0.95 ", value));
    EXPECT_EQ(value, 0.95);
    EXPECT_TRUE(tavrin::bare_number("-1e-3", value));
    EXPECT_EQ(value, -0.001);
    for (const char* not_bare : {"", " ", "100a", "1 2", "&prob=1", "inf", ".", "1e", "1.2.3"}) {
        EXPECT_FALSE(tavrin::bare_number(not_bare, value)) << not_bare;
    }
}

TEST(NodeComments, NotesListTheNamesOnlyWhileNoSupportWasFound) {
    tavrin::SupportNotes notes;
    EXPECT_EQ(notes.unused_values(), "");
    notes.note_comment("a comment");
    notes.note_comment("&U");
    EXPECT_EQ(notes.unused_values(), "");
    notes.note_comment("&prob=1,prob_stddev=0,prob=2");
    notes.note_comment("&&NHX:B=3:S=x");
    notes.note_comment("&length_mean=1,length_median=2,z=3");
    notes.note_support(0);
    EXPECT_EQ(notes.unused_values(), "prob, prob_stddev, B, S, length_mean");
    notes.note_support(0.5);
    EXPECT_FALSE(notes.wanted());
    EXPECT_EQ(notes.unused_values(), "");

    tavrin::SupportNotes bare;
    bare.note_comment("100");
    EXPECT_EQ(bare.unused_values(), "bare numbers");
    bare.note_comment("&posterior=1");
    EXPECT_EQ(bare.unused_values(), "posterior, bare numbers");
}

tavrin::ReadOptions standard(const std::string& attribute = "") {
    tavrin::ReadOptions options;
    options.dialect = tavrin::Dialect::kStandard;
    options.support_attribute = attribute;
    return options;
}

// The supports of the internal nodes of the one tree of `text`, in preorder; the notes' verdict
// last.
std::vector<std::string> supports(const std::string& text, const std::string& attribute = "") {
    tavrin::TreeReader reader(text, standard(attribute));
    std::vector<std::string> values;
    while (std::optional<tavrin::TreeRead> read = reader.next()) {
        if (read->tree == nullptr) return {"malformed: " + read->malformed.what};
        std::vector<const Phylogeny_Node*> stack{read->tree->root};
        while (!stack.empty()) {
            const Phylogeny_Node* n = stack.back();
            stack.pop_back();
            if (n->is_leaf) continue;
            char text_value[32];
            std::snprintf(text_value, sizeof text_value, "%g", n->support);
            values.push_back(text_value);
            stack.push_back(n->right);
            stack.push_back(n->left);
        }
    }
    values.push_back("notes: " + reader.unused_comment_values());
    return values;
}

using Values = std::vector<std::string>;

TEST(NodeComments, TheReaderTakesTheAttributeFromTheNodesOwnComments) {
    // Before and after the length, up to the next ',', ')' or ';'; leaves' comments are not the
    // node's; the label is not read.
    const std::string text =
        "((A[&p=0.1],B)[&q=1][&p=0.9]:0.1,(C,D)80:0.2[&p=0.7],(E,F)[x]:[&p=0.6]0.3[&p=0.5])"
        "[&p=0.4];";
    // The root's three children are folded; the fold under the root takes the last one's
    // support.
    EXPECT_EQ(supports(text, "p"), (Values{"0.4", "0.6", "0.9", "0.7", "0.6", "notes: "}));
    // Without the option the labels count, and the comments are only noted.
    EXPECT_EQ(supports(text), (Values{"0", "0", "0", "80", "0", "notes: "}));
    EXPECT_EQ(supports("((A,B)[&p=1]:1,C);"), (Values{"0", "0", "notes: p"}));
    // A node without the attribute reads 0.
    EXPECT_EQ(supports("((A,B)95[&q=1],C);", "p"), (Values{"0", "0", "notes: q"}));
    // Each node hears its own comments: a closed node's do not carry to its parent.
    EXPECT_EQ(supports("(((A,B)[&p=2],C),D);", "p"), (Values{"0", "0", "2", "notes: "}));
}

TEST(NodeComments, RaxmlBranchLabelsGiveTheSupportOfNodesWithoutOne) {
    EXPECT_EQ(supports("((A,B):0.05[100],(C,D):0.2[ 87 ]);"),
              (Values{"0", "100", "87", "notes: "}));
    // Only after the length, only a number alone, only where the label gives none.
    EXPECT_EQ(supports("((A,B)[100]:0.05,C);"), (Values{"0", "0", "notes: bare numbers"}));
    EXPECT_EQ(supports("((A,B):0.05[100x],C);"), (Values{"0", "0", "notes: "}));
    EXPECT_EQ(supports("((A,B)95:0.05[100],C);"), (Values{"0", "95", "notes: "}));
    EXPECT_EQ(supports("((A,B)name:0.05[100],C);"), (Values{"0", "100", "notes: "}));
    // With an attribute: taken where the attribute is missing, not where it reads 0.
    EXPECT_EQ(supports("((A,B)[&p=0]:1[100],(C,D):1[90]);", "p"),
              (Values{"0", "0", "90", "notes: "}));
    // A leaf's comment is not a branch label.
    EXPECT_EQ(supports("((A:1[100],B),C);"), (Values{"0", "0", "notes: "}));
}

TEST(NodeComments, TheNotesCoverEveryTreeOfTheText) {
    EXPECT_EQ(supports("((A,B)[&p=1],C);((A,B)90,C);"), (Values{"0", "0", "0", "90", "notes: "}));
    EXPECT_EQ(supports("((A,B)[&p=1],C);((A,B)[&r=1],C);"),
              (Values{"0", "0", "0", "0", "notes: p, r"}));
}

}  // namespace

}  // namespace tavrin
