// Standard Newick: blanks, quotes and comments, several trees per text, the fold of
// multifurcations with the mend under the root, and texts that are not standard Newick.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "support/reference_reader.h"
#include "support/tree_check.h"
#include "tree/phylogeny.h"
#include "tree/tree_reader.h"

namespace tavrin {

namespace {

using tree_check::check_links;
using tree_check::shape;

const tavrin::ReadOptions kStandard{tavrin::Dialect::kStandard};

// Every result the reader gives for `text`, in order.
std::vector<tavrin::TreeRead> read_all(const std::string& text,
                                       tavrin::ReadOptions options = kStandard) {
    std::vector<tavrin::TreeRead> reads;
    tavrin::TreeReader reader(text, options);
    while (std::optional<tavrin::TreeRead> read = reader.next()) {
        EXPECT_LT(reads.size(), text.size() + 1) << "more results than the text can hold";
        if (reads.size() > text.size()) break;
        reads.push_back(std::move(*read));
    }
    EXPECT_TRUE(reader.at_end());
    return reads;
}

// The one tree of `text`, read in standard Newick.
std::string standard_dump(const std::string& text) {
    std::vector<tavrin::TreeRead> reads = read_all(text);
    if (reads.size() != 1 || reads[0].tree == nullptr) return "no single tree";
    EXPECT_EQ(check_links(reads[0].tree->root), "") << text;
    return dump(reads[0].tree->root, bits);
}

std::string classic_dump(const std::string& text) {
    const Phylogeny tree(text);
    return dump(tree.root, bits);
}

TEST(StandardNewick, PlainTreeReadsAsTheClassicReaderReadsIt) {
    for (const std::string text :
         {"((A:0.1,B:0.2)95:0.3,C:0.4);", "(A:1,B:2,C:3,D:4);", "(A,(B,C)90:0.2)100:0;",
          "((A,B):0.5,C);", "A:0.5;", "((A,B)clade:0.5,C);", "(,B);", "((A,B,C)7:1,D);"}) {
        EXPECT_EQ(standard_dump(text), classic_dump(text)) << text;
    }
}

TEST(StandardNewick, BlanksQuotesAndCommentsAreNotPartOfTheTree) {
    const std::string text =
        "[&R] (\r\n  'Homo sapiens-1' : 0.1 [&&NHX:S=human],\r\n\t'it''s'[x]:0.2,\n"
        "  Mus_mus-2:[&rate=1]0.3\r\n) [root comment] 95 [a] : 0.5 ;\r\n";
    std::vector<tavrin::TreeRead> reads = read_all(text);
    ASSERT_EQ(reads.size(), 1u);
    ASSERT_NE(reads[0].tree, nullptr);
    const Phylogeny_Node* root = reads[0].tree->root;
    EXPECT_EQ(check_links(root), "");
    EXPECT_EQ(shape(root), "((Homo sapiens-1,it's),Mus_mus-2)");
    EXPECT_EQ(root->support, 95);
    EXPECT_EQ(root->length, 0.5);
    EXPECT_EQ(root->left->left->length, 0.1);
    EXPECT_EQ(root->left->right->length, 0.2);
    EXPECT_EQ(root->right->length, 0.3);
    // Quoted punctuation belongs to the name; an empty quoted name is an empty name.
    EXPECT_EQ(shape(read_all("('a,(b):c;[d]','',C);")[0].tree->root), "((a,(b):c;[d],),C)");
}

TEST(StandardNewick, CommentsNest) {
    EXPECT_EQ(standard_dump("[a [b] c] ((A[x[y]z],B)[[&p=1]]90[],C:[[]]2)[;[;];];"),
              standard_dump("((A,B)90,C:2);"));
    // A comment holds brackets in pairs whatever stands between them: quotes too.
    EXPECT_EQ(standard_dump("((A,B)[&note=\"a[b]\",p=0.5]80,C['[x]']);"),
              standard_dump("((A,B)80,C);"));
}

TEST(StandardNewick, AByteOrderMarkBeforeTheTextIsPassedOver) {
    const std::string mark = "\xEF\xBB\xBF";
    EXPECT_EQ(standard_dump(mark + "((A,B)90,C);"), standard_dump("((A,B)90,C);"));
    EXPECT_EQ(standard_dump(mark + " [c]\n((A,B)90,C);"), standard_dump("((A,B)90,C);"));
    // Offsets count the bytes of the text, the mark's too.
    std::vector<tavrin::TreeRead> reads = read_all(mark + "(A,B);(C");
    ASSERT_EQ(reads.size(), 2u);
    EXPECT_EQ(reads[1].malformed.offset, 11u);
    reads = read_all(mark);
    ASSERT_EQ(reads.size(), 1u);
    EXPECT_EQ(reads[0].malformed.what, "no tree in the text");
    EXPECT_EQ(reads[0].malformed.offset, 3u);
    // Only at the start: elsewhere its bytes are a label.
    reads = read_all("(A,B);" + mark + "(C,D);");
    ASSERT_EQ(reads.size(), 2u);
    EXPECT_EQ(reads[1].malformed.what, "expected ';' after the tree, found '('");
}

TEST(StandardNewick, LengthsFollowAColonOnly) {
    // The classic reader also reads a length from a leaf name that starts with digits, and from
    // an internal label without ':'. Standard Newick takes lengths after ':' only.
    const std::vector<tavrin::TreeRead> reads = read_all("((9606,B)80,C:2);");
    const Phylogeny_Node* root = reads.at(0).tree->root;
    EXPECT_EQ(root->left->left->name, "9606");
    EXPECT_EQ(root->left->left->length, 0);
    EXPECT_EQ(root->left->support, 80);
    EXPECT_EQ(root->left->length, 0);
    EXPECT_EQ(root->right->length, 2);
}

TEST(StandardNewick, SeveralTreesComeOneAtATimeInOrder) {
    const std::string text = "(A,B);\n(C,D)[second];\r\n  (E,(F,G)70);\n\n";
    tavrin::TreeReader reader(text, kStandard);
    std::vector<std::string> shapes;
    while (std::optional<tavrin::TreeRead> read = reader.next()) {
        ASSERT_NE(read->tree, nullptr);
        shapes.push_back(shape(read->tree->root));
        EXPECT_EQ(reader.at_end(), shapes.size() == 3);
    }
    EXPECT_EQ(shapes, (std::vector<std::string>{"(A,B)", "(C,D)", "(E,(F,G))"}));

    tavrin::TreeReader single("(A,B);\n", kStandard);
    ASSERT_TRUE(single.next().has_value());
    EXPECT_TRUE(single.at_end());
}

TEST(StandardNewick, FoldUnderTheRootTakesTheSupportOfTheRootsLastChild) {
    // Unrooted trees written with three children at the root.
    const std::vector<tavrin::TreeRead> three = read_all("(A,(B,C)90,(D,E)80);");
    const Phylogeny_Node* root = three.at(0).tree->root;
    EXPECT_EQ(shape(root), "((A,(B,C)),(D,E))");
    EXPECT_EQ(root->left->support, 80);
    EXPECT_EQ(root->left->length, 0);
    EXPECT_EQ(root->left->right->support, 90);
    // Four children: only the fold made last, directly under the root, is mended.
    const std::vector<tavrin::TreeRead> four = read_all("(A,B,(C,D)70,(E,F)60);");
    root = four.at(0).tree->root;
    EXPECT_EQ(shape(root), "(((A,B),(C,D)),(E,F))");
    EXPECT_EQ(root->left->support, 60);
    EXPECT_EQ(root->left->left->support, 0);
    // A leaf as the last child gives 0; folds below the root and two-child roots are unchanged.
    EXPECT_EQ(read_all("((A,B)90,C,D);").at(0).tree->root->left->support, 0);
    EXPECT_EQ(standard_dump("((A,B,C)50:1,(D,E)40:2);"), classic_dump("((A,B,C)50:1,(D,E)40:2);"));
}

struct BadText {
    std::string text;
    std::vector<std::string> shapes;  // of the trees read, "!" for a malformed one
    size_t tree;                      // the first malformed tree
    size_t offset;
    std::string what;
};

TEST(StandardNewickMalformed, ProblemNamesTreeAndByteAndLaterTreesAreRead) {
    const std::vector<BadText> cases = {
        {"", {"!"}, 1, 0, "no tree in the text"},
        {" [only a comment]\n", {"!"}, 1, 18, "no tree in the text"},
        {"(A,B)", {"!"}, 1, 5, "the tree does not end with ';'"},
        {"(A,B);(C,D", {"(A,B)", "!"}, 2, 10, "the text ends inside parentheses"},
        {"(A,B);(C,D;(E,F);", {"(A,B)", "!", "(E,F)"}, 2, 10, "';' before every '(' is closed"},
        {"(A,B));(C,D);", {"!", "(C,D)"}, 1, 5, "')' without a matching '('"},
        {"(A,B)C(D,E);(F,G);", {"!", "(F,G)"}, 1, 6, "expected ';' after the tree, found '('"},
        {"(A,B);x", {"(A,B)", "!"}, 2, 7, "the tree does not end with ';'"},
        {"(A,'B);(C,D);", {"!"}, 1, 3, "a quote that is not closed"},
        {"(A,B)[x;(C,D);", {"!"}, 1, 5, "a comment that is not closed"},
        {"(A,B)[x [y] z;(C,D);", {"!"}, 1, 5, "a comment that is not closed"},
        {"(A[x]],B);(C,D);", {"!", "(C,D)"}, 1, 5, "expected ',' or ')', found ']'"},
        {"(A);(B,C);", {"!", "(B,C)"}, 1, 2, "a node with only one child"},
        {"(A,B);;(C,D);", {"(A,B)", "!", "(C,D)"}, 2, 6, "an empty tree"},
        {"(A,B:1:2);", {"!"}, 1, 6, "expected ',' or ')', found ':'"},
        {"(A,B]);", {"!"}, 1, 4, "expected ',' or ')', found ']'"},
    };
    for (const BadText& c : cases) {
        SCOPED_TRACE(c.text);
        std::vector<std::string> shapes;
        bool first = true;
        for (const tavrin::TreeRead& read : read_all(c.text)) {
            shapes.push_back(read.tree ? shape(read.tree->root) : "!");
            if (read.tree == nullptr && first) {
                first = false;
                EXPECT_EQ(read.malformed.dialect, tavrin::Dialect::kStandard);
                EXPECT_EQ(read.malformed.tree, c.tree);
                EXPECT_EQ(read.malformed.offset, c.offset);
                EXPECT_EQ(read.malformed.what, c.what);
            }
        }
        EXPECT_EQ(shapes, c.shapes);
    }
}

TEST(StandardNewickMalformed, MessageNamesFileTreeAndByte) {
    const std::vector<tavrin::TreeRead> reads = read_all("(A,B);(C,D");
    EXPECT_EQ(tavrin::malformed_message(reads.at(1).malformed, "genes.nwk"),
              "Malformed Newick in genes.nwk, tree 2, at byte 10: the text ends inside "
              "parentheses");
}

TEST(StandardNewick, MillionDeepLaddersRead) {
    constexpr size_t kLeaves = 1000000;
    for (const std::string& body :
         {tree_check::caterpillar(kLeaves), tree_check::right_ladder(kLeaves)}) {
        std::vector<tavrin::TreeRead> reads = read_all(body + ";\n");
        ASSERT_EQ(reads.size(), 1u);
        ASSERT_NE(reads[0].tree, nullptr);
        EXPECT_EQ(tree_check::leaf_count(reads[0].tree->root), kLeaves);
    }
    // Unclosed: everything made so far is released without a deep walk of the call stack.
    std::vector<tavrin::TreeRead> reads =
        read_all(tree_check::right_ladder(kLeaves).substr(0, 5000000));
    ASSERT_EQ(reads.size(), 1u);
    EXPECT_EQ(reads[0].tree, nullptr);
}

}  // namespace

}  // namespace tavrin
