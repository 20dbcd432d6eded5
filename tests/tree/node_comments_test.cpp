// Supports written in comments: attribute lists as MrBayes, BEAST, TreeAnnotator and NHX write
// them, RAxML's bare numbers after the length, and the notes behind the warning for a file whose
// supports all read 0.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "tree/node_comments.h"
#include "tree/phylogeny.h"
#include "tree/tree_reader.h"

namespace tavrin {

namespace {

std::optional<double> attribute(const std::string& comment, const std::string& name) {
    const tavrin::AttributeValue value = tavrin::attribute_value(comment, name);
    if (!value.found) return std::nullopt;
    return value.value;
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

TEST(NodeComments, LongCraftedValuesReadAsShortOnes) {
    for (const std::size_t size : {std::size_t{20000}, std::size_t{200000}}) {
        SCOPED_TRACE(size);
        const std::string braces(size, '{');
        EXPECT_EQ(supports("((A,B)[&p=" + braces + "],C);", "p"), (Values{"0", "0", "notes: p"}));
        EXPECT_EQ(supports("((A,B)[&p=" + braces + "0.5" + std::string(size, '}') + "],C);", "p"),
                  (Values{"0", "0.5", "notes: "}));
        // Every byte that means something in an attribute list, and a mixture of them. An open
        // brace holds the rest of the list: p is then inside q's value.
        for (const char c : std::string("&\"'=,{}")) {
            EXPECT_EQ(supports("((A,B)[&q=" + std::string(size, c) + ",p=0.25]:1,C);", "p"),
                      c == '{' ? (Values{"0", "0", "notes: q"}) : (Values{"0", "0.25", "notes: "}))
                << c;
        }
        std::string mixture;
        while (mixture.size() < size)
            mixture += "{\"&='[],}";
        EXPECT_EQ(supports("((A,B)[&p=" + mixture + "]:1,C);", "p"),
                  (Values{"0", "0", "notes: p"}));
        // Comments nested as deep.
        EXPECT_EQ(supports("((A,B)" + std::string(size, '[') + std::string(size, ']') + ",C);"),
                  (Values{"0", "0", "notes: "}));
    }
}

TEST(NodeComments, SupportsTooLargeToHoldReadAsNoNumberAsInfDoes) {
    // Labels, attributes and bare numbers alike; lengths as before.
    EXPECT_EQ(supports("(((A,B)1e400,(C,D)inf)-1e400:1e400,((E,F)1e300,G)INF);"),
              (Values{"0", "0", "0", "0", "0", "1e+300", "notes: "}));
    EXPECT_EQ(supports("((A,B)[&p=1e400],((C,D)[&p=\"inf\"],E)[&p={-1e999,1}]);", "p"),
              (Values{"0", "0", "0", "0", "notes: p"}));
    EXPECT_EQ(supports("((A,B):1[1e400],(C,D):1[inf]);"), (Values{"0", "0", "0", "notes: "}));
    tavrin::TreeReader reader("((A,B):1e400,C);", standard());
    EXPECT_TRUE(std::isinf(reader.next()->tree->root->left->length));
    // The classic dialect reads a support as atof does: infinite.
    EXPECT_TRUE(std::isinf(Phylogeny("((A,B)1e400,C);").root->left->support));
}

// The first value of the attribute that held no number, quoted, or "none".
std::string no_number(const std::string& text, const std::string& attribute) {
    tavrin::TreeReader reader(text, standard(attribute));
    while (reader.next()) {
    }
    const std::optional<std::string>& value = reader.attribute_without_number();
    return value ? "'" + *value + "'" : "none";
}

TEST(NodeComments, TheReaderKeepsTheFirstAttributeValueThatHoldsNoNumber) {
    for (const std::string value : {"high", "nan", "{}", "", " { } ", "\"x\"", "inf", "1e400"}) {
        const std::string expected = value == " { } " ? "{ }" : value;
        EXPECT_EQ(no_number("((A,B)[&p=" + value + "],C);", "p"), "'" + expected + "'");
    }
    EXPECT_EQ(no_number("((A,B)[&&NHX:S=x:B=N/A],C);", "B"), "'N/A'");
    // The first in the file, whatever the other nodes hold.
    EXPECT_EQ(no_number("((A,B)[&p=0.9],C);((A,B)[&p=low],(C,D)[&p=high]);", "p"), "'low'");
    // Cut short.
    EXPECT_EQ(no_number("((A,B)[&p=" + std::string(100, '{') + "],C);", "p"),
              "'" + std::string(tavrin::SupportNotes::kMostExampleBytes, '{') + "...'");
    // Only the support attribute of internal nodes, only its first occurrence on a node.
    for (const std::string text :
         {"((A,B)[&p=0.9,q=high],C);", "((A[&p=high],B),C);", "((A,B)[&q=high],C);",
          "((A,B)[&p=1][&p=high],C);", "((A,B)[&p=0.5x],C);", "((A,B)high,C);"}) {
        EXPECT_EQ(no_number(text, "p"), "none") << text;
    }
    EXPECT_EQ(no_number("((A,B)[&p=high],C);", ""), "none");
}

TEST(NodeComments, TheNotesCoverEveryTreeOfTheText) {
    EXPECT_EQ(supports("((A,B)[&p=1],C);((A,B)90,C);"), (Values{"0", "0", "0", "90", "notes: "}));
    EXPECT_EQ(supports("((A,B)[&p=1],C);((A,B)[&r=1],C);"),
              (Values{"0", "0", "0", "0", "notes: p, r"}));
}

}  // namespace

}  // namespace tavrin
