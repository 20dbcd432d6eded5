// The way from the text of a tree file to trees: every caller builds its trees through
// TreeReader, with the reading options it was given. Reading writes nothing; a text that gives
// no tree comes back as a Malformed value, and the caller decides what to write (see
// malformed_message).
//
// The classic dialect gives exactly one result per text: the tree, or the text's last
// character when it is not ';'. Standard Newick gives one result per tree, in order; a malformed
// tree is followed by the trees after its next ';' (outside quotes and comments), and nothing
// follows a quote or comment left open. A text with no tree at all gives one malformed result.
// Standard Newick offsets count the bytes of the text as given: hand it the file's bytes as they
// are (line breaks included); a UTF-8 byte order mark at its start is passed over, as before a
// NEXUS file. A standard text that is a NEXUS file (nexus.h) gives the trees of its TREE
// statements; one without any gives one malformed result.
#ifndef TAVRIN_TREE_TREE_READER_H
#define TAVRIN_TREE_TREE_READER_H

#include <cstddef>
#include <memory>
#include <optional>
#include <string>

#include "tree/malformed.h"
#include "tree/node_comments.h"
#include "tree/phylogeny.h"
#include "tree/read_options.h"

namespace tavrin {

// One tree of a text, or why there is none.
struct TreeRead {
    std::unique_ptr<Phylogeny> tree;  // absent when the text is malformed
    Malformed malformed;              // set when `tree` is absent
};

class NexusTrees;

class TreeReader {
public:
    explicit TreeReader(std::string text, ReadOptions options = {});
    ~TreeReader();
    TreeReader(const TreeReader&) = delete;
    TreeReader& operator=(const TreeReader&) = delete;

    // Standard Newick: passes over the next `count` trees without reading them (no problem is
    // reported for them), counting them as given; answers how many there were. A comment or
    // quote that a NEXUS file leaves open outside its tree statements is not a tree: it stops
    // the passing, and next() gives it.
    std::size_t skip(std::size_t count);

    // The next tree of the text, in order; nothing once every tree has been given.
    std::optional<TreeRead> next();
    // Has every tree of the text been given? Asked after the first tree: does the text hold one?
    bool at_end() const { return done_; }
    // Standard Newick, once every tree was given: when no internal node read a support other
    // than 0 while their comments hold values, what they hold (SupportNotes::unused_values);
    // else empty.
    std::string unused_comment_values() const { return notes_.unused_values(); }
    // With a support attribute, once every tree was given: when the attribute stood on some
    // internal node with a value that holds no number (`high`, `nan`, `{}`, nothing, `1e400`),
    // the first such value (SupportNotes::note_no_number); else nothing.
    const std::optional<std::string>& attribute_without_number() const {
        return notes_.attribute_without_number();
    }

private:
    // Tells the node pool, before the first tree read (past any skipped), of the text's size.
    void expect_nodes_once();
    // The next tree of a text not yet done.
    TreeRead read_next();

    std::string text_;
    ReadOptions options_;
    bool done_ = false;
    std::size_t pos_ = 0;                // standard: where the next tree starts
    std::size_t trees_ = 0;              // standard: trees given so far
    bool nodes_expected_ = false;        // the node pool was told of the text's size
    std::unique_ptr<NexusTrees> nexus_;  // a NEXUS text's tree statements
    SupportNotes notes_;
};

}  // namespace tavrin

#endif  // TAVRIN_TREE_TREE_READER_H
