// NEXUS tree files read through the standard reader: TREES blocks and nothing else, TRANSLATE
// tables, TREE and UTREE statements, statements that do not parse, passing over trees, and the
// same trees as plain Newick with labels.
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "support/reference_reader.h"
#include "support/tree_check.h"
#include "tree/leaf_names.h"
#include "tree/nexus.h"
#include "tree/tree_reader.h"

namespace tavrin {

namespace {

tavrin::ReadOptions standard(const std::string& attribute = "") {
    tavrin::ReadOptions options;
    options.dialect = tavrin::Dialect::kStandard;
    options.support_attribute = attribute;
    return options;
}

// Each result of the text: the tree's leaves in order, or the problem.
std::vector<std::string> results(const std::string& text, std::size_t skip = 0) {
    tavrin::TreeReader reader(text, standard());
    std::vector<std::string> out;
    const std::size_t skipped = reader.skip(skip);
    if (skip > 0) out.push_back("skipped " + std::to_string(skipped));
    while (std::optional<tavrin::TreeRead> read = reader.next()) {
        if (read->tree == nullptr) {
            const tavrin::Malformed& m = read->malformed;
            out.push_back(std::to_string(m.tree) + " @" + std::to_string(m.offset) + ": " + m.what);
            continue;
        }
        EXPECT_EQ(tree_check::check_links(read->tree->root), "");
        std::string leaves;
        for (const std::string& name : tree_check::leaf_names(read->tree->root))
            leaves += (leaves.empty() ? "" : " ") + name;
        out.push_back(leaves);
        if (out.size() > text.size()) break;
    }
    EXPECT_TRUE(reader.at_end());
    return out;
}

using Results = std::vector<std::string>;

TEST(Nexus, RecognisedByItsFirstWordAfterAByteOrderMarkAndBlanks) {
    for (const char* nexus : {"#NEXUS", "#nexus\n", "\xEF\xBB\xBF#NEXUS", " \r\n\t#Nexus [x]"}) {
        EXPECT_TRUE(tavrin::is_nexus(nexus)) << nexus;
    }
    for (const char* other : {"", "#NEXU", "(A,B);", "x #NEXUS", "[c]#NEXUS", "\xEF\xBB#NEXUS"}) {
        EXPECT_FALSE(tavrin::is_nexus(other)) << other;
    }
}

TEST(Nexus, TreesOfEveryTreesBlockWithTheirOwnTables) {
    const std::string text =
        "#NEXUS\n[written by hand]\n"
        "Begin TAXA; dimensions ntax=3; taxlabels A B 'tree = (x,y);'; End;\n"
        "begin data; matrix A ACGT [tree t = (a,b);] B 'AC;GT'; end;\n"
        "BEGIN TREES;\n"
        "  TRANSLATE 1 Choano-a, 2 'Metazoa-Homo sapiens', 3 'O''Brien-1',4 Fungi-f;\n"
        "  TREE first = [&U] ((1:0.1,2:0.2):0.3,3,4);\n"
        "  utree * 'second one' [&R] = (3,(1,Other-x));\n"
        "  [tree commented = (z,z);]\n"
        "  title whatever; link taxa=t;\n"
        "ENDBLOCK;\n"
        "tree outside = (o1,o2);\n"
        "begin trees;\n"
        "  tree [c] third [c] = [c] (1,2);\n"
        "  translate 1 X-1, 2 X-2;\n"
        "  tree fourth=(1,2);\n"
        "end;\n";
    EXPECT_EQ(results(text), (Results{"Choano-a Metazoa-Homo sapiens O'Brien-1 Fungi-f",
                                      "O'Brien-1 Choano-a Other-x", "1 2", "X-1 X-2"}));
    EXPECT_EQ(results(text, 2), (Results{"skipped 2", "1 2", "X-1 X-2"}));
    EXPECT_EQ(results(text, 4), (Results{"skipped 4"}));
    EXPECT_EQ(results(text, 9), (Results{"skipped 4"}));
}

// '*' is punctuation in NEXUS: written against the command's name, it still marks the default
// tree, and the statement is neither lost nor taken for another command.
TEST(Nexus, AStarAgainstTheKeywordIsTheDefaultTreeMark) {
    const std::string text =
        "#NEXUS\nbegin trees;\n"
        "  tree* best = (A,B);\n"
        "  UTREE*'second' = (C,D);\n"
        "  tree *third=(E,F);\n"
        "end;\n";
    EXPECT_EQ(results(text), (Results{"A B", "C D", "E F"}));
    EXPECT_EQ(results(text, 1), (Results{"skipped 1", "C D", "E F"}));
}

TEST(Nexus, AStatementThatDoesNotParseIsMalformedAndTheNextIsRead) {
    const std::string text =
        "#NEXUS\nbegin trees;\n"
        "tree = (A,B);\n"      // tree 1: no name
        "tree t (A,B);\n"      // tree 2: no '='
        "tree t = (A,B;\n"     // tree 3: not Newick
        "tree t = (A,'B;\n"    // tree 4: a quoted name up to the next quote,
        "tree t = (C,D)';\n";  // then the statement's end
    EXPECT_EQ(results(text + "tree u = (E,F);\nend;"),
              (Results{"1 @25: expected the tree's name, found '='",
                       "2 @41: expected '=' after the tree's name, found '('",
                       "3 @61: ';' before every '(' is closed",
                       "4 @94: ';' before every '(' is closed", "E F"}));
    EXPECT_EQ(
        results("#NEXUS begin trees; tree t = (A,B); tree 'open = (A,B);"),
        (Results{"A B", "2 @41: expected the tree's name, found a quote that is not closed"}));
}

TEST(Nexus, AFileWithoutATreeIsOneMalformedResult) {
    for (const std::string text :
         {"#NEXUS", "#NEXUS\nbegin taxa; taxlabels A B; end;",
          "#NEXUS begin data; tree t = (A,B); end;", "#NEXUS tree t = (A,B);",
          "#NEXUS begin trees; translate 1 A; end;"}) {
        EXPECT_EQ(results(text),
                  Results{"1 @" + std::to_string(text.size()) + ": no tree in the NEXUS file"})
            << text;
        EXPECT_EQ(results(text, 3), (Results{"skipped 0", "1 @" + std::to_string(text.size()) +
                                                              ": no tree in the NEXUS file"}));
    }
}

TEST(Nexus, CommentsNestBetweenCommandsAndInThem) {
    const std::string text =
        "#NEXUS\nbegin trees;\ntree a = (1,2);\n"
        "[a [b] c; tree hidden = (x,y);]\n"
        "tree b [named [twice]] = ((3[[1]],4)[&p=0.5,note=\"[x]\"],5);\n"
        "title [;] t [[]];\n"
        "tree c = (6,7);\nend;";
    EXPECT_EQ(results(text), (Results{"1 2", "3 4 5", "6 7"}));
    EXPECT_EQ(results(text, 2), (Results{"skipped 2", "6 7"}));
}

// "<tree> @<the byte where `open` first stands in `text`>: <what>".
std::string problem_at(std::size_t tree, const std::string& text, const std::string& open,
                       const std::string& what) {
    return std::to_string(tree) + " @" + std::to_string(text.find(open)) + ": " + what;
}

TEST(Nexus, ACommentOrQuoteLeftOpenOutsideTheStatementsIsAProblemWhereItOpens) {
    const std::string head = "#NEXUS\nbegin trees;\ntree a = (1,2);\n";
    const std::string comment = "a comment that is not closed";
    const std::string quote = "a quote that is not closed";
    // Between statements (nested or not), in a command passed over, in a table, in another
    // block: the trees after it are lost, and said to be.
    for (const std::string rest :
         {"[a [b] c\ntree b = (3,4);\nend;", "[open [x]\n", "title [x; tree b = (3,4);",
          "translate 1 A, [2 B; tree b = (1,2);", "end; begin data; matrix A [ACGT; end;"}) {
        const std::string text = head + rest;
        EXPECT_EQ(results(text), (Results{"1 2", problem_at(2, text, "[", comment)})) << text;
    }
    const std::string open_quote = head + "title 'x; tree b = (3,4);";
    EXPECT_EQ(results(open_quote), (Results{"1 2", problem_at(2, open_quote, "'", quote)}));
    // A file with nothing else says so rather than that it holds no tree.
    const std::string alone = "#NEXUS begin trees; [tree t = (A,B); end;";
    EXPECT_EQ(results(alone), (Results{problem_at(1, alone, "[", comment)}));
    // Passing over trees never passes over it.
    const std::string late = head + "tree b = (3,4);\n[open";
    EXPECT_EQ(results(late, 1), (Results{"skipped 1", "3 4", problem_at(3, late, "[", comment)}));
    EXPECT_EQ(results(late, 5), (Results{"skipped 2", problem_at(3, late, "[", comment)}));
    EXPECT_EQ(results(alone, 5), (Results{"skipped 0", problem_at(1, alone, "[", comment)}));
    // In a tree statement it is the tree's own problem, as in plain Newick.
    const std::string in_tree = head + "tree b = (3,[4);\ntree c = (5,6);";
    EXPECT_EQ(results(in_tree), (Results{"1 2", problem_at(2, in_tree, "[4", comment)}));
}

TEST(Nexus, TheTreesOfABlockWhoseTableDoesNotParseAreMalformed) {
    const std::string head = "#NEXUS\nbegin trees;\n";
    const std::string tail =
        "tree a = (1,2);\ntree b = (2,1);\nend;\nbegin trees; tree c = (1,2); end;";
    EXPECT_EQ(results(head + "translate 1 A, 1 B;\n" + tail),
              (Results{"1 @35: the TRANSLATE table: a token given twice",
                       "2 @35: the TRANSLATE table: a token given twice", "1 2"}));
    EXPECT_EQ(results(head + "translate 1 A, 2;\n" + tail)[0],
              "1 @36: the TRANSLATE table: expected a name after token 2, found ';'");
    EXPECT_EQ(results(head + "translate 1 A 2 B;\n" + tail)[0],
              "1 @34: the TRANSLATE table: expected ',' or ';', found '2'");
    EXPECT_EQ(results(head + "translate 1 A,, 2 B;\n" + tail)[0],
              "1 @34: the TRANSLATE table: expected a token, found ','");
    // An empty table, and a later table replacing one that failed.
    EXPECT_EQ(results(head + "translate;\n" + tail), (Results{"1 2", "2 1", "1 2"}));
    EXPECT_EQ(results(head + "translate 1;\ntranslate 1 A, 2 B;\n" + tail),
              (Results{"A B", "B A", "1 2"}));
}

TEST(Nexus, TokensAreNumbersOrWords) {
    tavrin::LeafNames names;
    EXPECT_TRUE(names.add("2", "B"));
    EXPECT_TRUE(names.add("1000000", "far"));  // kept by its text: no table of a million
    EXPECT_TRUE(names.add("01", "zero-one"));
    EXPECT_TRUE(names.add("x", "X"));
    for (int i = 3; i < 600; ++i)
        EXPECT_TRUE(names.add(std::to_string(i), "n" + std::to_string(i)));
    EXPECT_FALSE(names.add("2", "again"));
    EXPECT_FALSE(names.add("1000000", "again"));
    EXPECT_FALSE(names.add("x", "again"));
    const auto name = [&names](const char* token) {
        const std::string* found = names.find(token);
        return found == nullptr ? std::string("none") : *found;
    };
    EXPECT_EQ(name("2"), "B");
    EXPECT_EQ(name("1000000"), "far");
    EXPECT_EQ(name("01"), "zero-one");
    EXPECT_EQ(name("x"), "X");
    EXPECT_EQ(name("599"), "n599");
    EXPECT_EQ(name("1"), "none");
    EXPECT_EQ(name("600"), "none");
    EXPECT_EQ(name(""), "none");
    EXPECT_EQ(name("99999999999999999999"), "none");
}

TEST(Nexus, PlainNewickPassesOverTreesUpToTheirSemicolons) {
    const std::string text = "(A,B);\n(C,';');[;](D,E);\n(F,G)'open";
    EXPECT_EQ(results(text, 1),
              (Results{"skipped 1", "C ;", "D E", "4 @30: a quote that is not closed"}));
    EXPECT_EQ(results(text, 3), (Results{"skipped 3", "4 @30: a quote that is not closed"}));
    EXPECT_EQ(results(text, 4), (Results{"skipped 4"}));
    EXPECT_EQ(results(" \n", 2), (Results{"skipped 0", "1 @2: no tree in the text"}));
}

// Random trees written twice: as plain Newick with names and supports as labels, and as a NEXUS
// file with a TRANSLATE table and the supports in attribute comments, with comments, blanks and
// quotes between the tokens. Both must read as the same trees.
class TwoWriters {
public:
    explicit TwoWriters(unsigned seed) : rng_(seed) {}

    void add_tree(int leaves) {
        std::vector<std::pair<std::string, std::string>> items;  // plain, NEXUS
        for (int i = 0; i < leaves; ++i)
            items.push_back(leaf());
        while (items.size() > 1) {
            const std::size_t width = std::min<std::size_t>(items.size(), 2 + rng_() % 3);
            const std::size_t at = rng_() % (items.size() - width + 1);
            std::pair<std::string, std::string> node{"(", gap() + "("};
            for (std::size_t k = 0; k < width; ++k) {
                node.first += (k ? "," : "") + items[at + k].first;
                node.second += (k ? "," : "") + items[at + k].second;
            }
            const std::string support = pick({"0.97", "1", "0.5", "2.5e-1", "100", "0"});
            const std::string length = pick({"0.1", "2", "1e-3"});
            node.first += ")" + support + ":" + length;
            node.second += ")" + gap() + "[&prob=" + support + ",prob_range={" + support +
                           ",1},prob(percent)=\"7\"]" + gap() + ":" + length +
                           "[&length_mean=1,prob=3]";
            items.erase(items.begin() + static_cast<long>(at),
                        items.begin() + static_cast<long>(at + width));
            items.insert(items.begin() + static_cast<long>(at), node);
        }
        plain_ += items[0].first + ";\n";
        trees_ += "  " + pick({"tree", "TREE", "utree", "Tree *"}) + " t" +
                  std::to_string(++count_) + " = " + pick({"", "[&U] ", "[&R]"}) + items[0].second +
                  ";\n";
    }
    const std::string& plain() const { return plain_; }
    std::string nexus() const {
        std::string table;
        for (std::size_t i = 0; i < names_.size(); ++i)
            table += (i ? ",\n    " : "") + std::to_string(i + 1) + " " + quoted(names_[i]);
        return "#NEXUS\nbegin taxa; ntax=" + std::to_string(names_.size()) +
               "; end;\nbegin trees;\n  translate\n    " + table + ";\n" + trees_ + "end;\n";
    }

private:
    std::string pick(std::initializer_list<const char*> options) {
        return *(options.begin() + rng_() % options.size());
    }
    std::string gap() { return pick({"", "", " ", "\n\t", "[a comment]"}); }
    static std::string quoted(const std::string& name) {
        std::string out = "'";
        for (const char c : name)
            out += c == '\'' ? std::string("''") : std::string(1, c);
        return out + "'";
    }
    // A leaf of the table (its token in the tree) or, now and then, one named in full.
    std::pair<std::string, std::string> leaf() {
        const std::string length = pick({"0.1", "0.25", "3"});
        const std::string name = pick({"Metazoa-Hs", "Fungi-Sc", "O'Brien-", "Homo sapiens-"}) +
                                 std::to_string(rng_() % 1000);
        if (rng_() % 5 == 0) return {quoted(name) + ":" + length, quoted(name) + ":" + length};
        const auto known = std::find(names_.begin(), names_.end(), name);
        const std::size_t token = static_cast<std::size_t>(known - names_.begin()) + 1;
        if (known == names_.end()) names_.push_back(name);
        return {quoted(name) + ":" + length, std::to_string(token) + gap() + ":" + length};
    }

    std::mt19937 rng_;
    std::vector<std::string> names_;
    std::string plain_, trees_;
    int count_ = 0;
};

std::vector<std::string> dumps(const std::string& text, const std::string& attribute) {
    tavrin::TreeReader reader(text, standard(attribute));
    std::vector<std::string> out;
    while (std::optional<tavrin::TreeRead> read = reader.next()) {
        out.push_back(read->tree == nullptr ? "malformed: " + read->malformed.what
                                            : dump(read->tree->root, bits));
    }
    return out;
}

TEST(Nexus, ATranslatedFileWithAttributeSupportsReadsAsTheSameTreesWithLabels) {
    for (unsigned seed = 1; seed <= 40; ++seed) {
        TwoWriters writers(seed);
        for (int k = 0; k < 5; ++k)
            writers.add_tree(2 + static_cast<int>(seed * 7 + k * 13) % 30);
        SCOPED_TRACE(writers.nexus());
        const std::vector<std::string> plain = dumps(writers.plain(), "");
        ASSERT_EQ(plain.size(), 5u);
        EXPECT_EQ(dumps(writers.nexus(), "prob"), plain);
    }
}

}  // namespace

}  // namespace tavrin
