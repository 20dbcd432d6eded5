// The reading entry: one result per classic text, nothing written, and the same tree and message
// as the text constructor.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "support/reference_reader.h"
#include "support/tree_check.h"
#include "tree/phylogeny.h"
#include "tree/tree_reader.h"

namespace tavrin {

namespace {

// Reads `text` through the entry, checking that exactly one result comes and nothing is written.
tavrin::TreeRead read_once(const std::string& text) {
    testing::internal::CaptureStderr();
    testing::internal::CaptureStdout();
    tavrin::TreeReader reader(text);
    EXPECT_FALSE(reader.at_end());
    std::optional<tavrin::TreeRead> read = reader.next();
    EXPECT_TRUE(reader.at_end());
    EXPECT_FALSE(reader.next().has_value());
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    return read ? std::move(*read) : tavrin::TreeRead{};
}

TEST(TreeReader, ClassicTextGivesTheConstructorsTree) {
    for (const std::string text : {"((A:0.1,B:0.2)95:0.3,C:0.4);", "(A,B,C,D)7:1;", ";", "((A,B));",
                                   "(A,B)x(C);", "A:1,B:2;"}) {
        SCOPED_TRACE(text);
        tavrin::TreeRead read = read_once(text);
        ASSERT_NE(read.tree, nullptr);
        EXPECT_EQ(tree_check::check_links(read.tree->root), "");
        const Phylogeny direct(text);
        EXPECT_EQ(dump(read.tree->root, bits), dump(direct.root, bits));
    }
}

TEST(TreeReader, MalformedClassicTextIsAValueWithTheConstructorsMessage) {
    struct Case {
        std::string text;
        std::string found;
        size_t offset;
    };
    for (const Case& c : {Case{"(A,B)x", "x", 5}, Case{"(A,B);\r", "\r", 6}, Case{"", "", 0}}) {
        SCOPED_TRACE(c.text);
        tavrin::TreeRead read = read_once(c.text);
        EXPECT_EQ(read.tree, nullptr);
        EXPECT_EQ(read.malformed.tree, 1u);
        EXPECT_EQ(read.malformed.offset, c.offset);
        EXPECT_EQ(read.malformed.found, c.found);

        testing::internal::CaptureStderr();
        const Phylogeny tree(c.text);
        const std::string written = testing::internal::GetCapturedStderr();
        EXPECT_EQ(tree.root, nullptr);
        EXPECT_EQ(written, tavrin::malformed_message(read.malformed, "f.nwk") + "\n");
        EXPECT_EQ(written,
                  "Malformed Newik Format file, the last character should be a ';', it's '" +
                      c.found + "'\n");
    }
}

// The classic message shows the last character as it is, but a NUL; the standard message shows
// the file's name as rows do, every control byte escaped.
TEST(TreeReader, MessagesShowNoRawNulNorControlBytesOfAPath) {
    const tavrin::TreeRead nul = read_once(std::string("(A,B)\0", 6));
    EXPECT_EQ(tavrin::malformed_message(nul.malformed, "f.nwk"),
              "Malformed Newik Format file, the last character should be a ';', it's '\\x00'");
    tavrin::ReadOptions standard;
    standard.dialect = tavrin::Dialect::kStandard;
    const tavrin::TreeRead open = *tavrin::TreeReader("(A,B", standard).next();
    EXPECT_EQ(tavrin::malformed_message(open.malformed, "t\x1b[2J\t\\.nwk"),
              "Malformed Newick in t\\x1b[2J\\t\\\\.nwk, tree 1, at byte 4: the text ends inside "
              "parentheses");
}

}  // namespace

}  // namespace tavrin
