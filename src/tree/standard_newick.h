// Reading standard Newick: blanks, tabs and line breaks outside quotes ignored, quoted labels
// ('' for one quote), comments in square brackets (nesting) skipped wherever they stand, several
// trees per text, each ended by ';'.
//
// The tree built is the classic reader's for the same tree (children folded from the left, see
// child_fold.h), with one mend: the fold node directly under the root (the last one the fold
// makes) takes the support of the root's last child, because for the unrooted trees that
// inference programs write with a root of three children it stands for the same split as that
// child. A length follows ':'; a node without one has length 0.
//
// An internal node's support is read from its label (read_options.h), or with a support
// attribute from its comments, those after its ')' up to the next ',', ')' or ';' (the first
// one holding the attribute counts). Either way, a node whose support so reads 0 and whose length
// is followed by a comment of one bare number, as RAxML writes its branch labels, takes that
// number.
//
// One pass over the text, no recursion: a ladder of any depth is read on a stack of frames.
#ifndef TAVRIN_TREE_STANDARD_NEWICK_H
#define TAVRIN_TREE_STANDARD_NEWICK_H

#include <cstddef>
#include <memory>
#include <string>

#include "tree/malformed.h"
#include "tree/node_comments.h"
#include "tree/phylogeny.h"
#include "tree/read_options.h"

namespace tavrin {

// Reads the tree that starts at `pos`, up to and including its ';', and answers it, `pos` moved
// past the ';'. On a text that is not standard Newick it answers null, having released whatever
// it built, with the problem's offset and what in `problem` (nothing else of it is touched), and
// `pos` moved past the next ';' outside quotes and comments (the end of the text after an
// unclosed quote or comment), where the next tree may begin.
// The comments of internal nodes give their supports as `options` says (node_comments.h), and
// `notes`, when given, hears of every internal node's support and comment.
std::unique_ptr<Phylogeny> read_standard_tree(const std::string& text, std::size_t& pos,
                                              const ReadOptions& options, Malformed& problem,
                                              SupportNotes* notes = nullptr);

// Does the text hold nothing from `pos` on but blanks and closed comments?
bool only_blanks_from(const std::string& text, std::size_t pos);

// The lexis that standard Newick shares with the NEXUS files that hold it. Blanks are ' ', tab,
// carriage return and line feed; a comment runs from '[' to its matching ']', comments nesting
// (`[a [b] c]` is one comment); a quoted word from '\'' to the next '\'' not doubled.
//
// The first position from `pos` on that is neither a blank nor in a closed comment: the '[' of a
// comment that is not closed, or the end of the text.
std::size_t skip_blanks_from(const std::string& text, std::size_t pos);
// The end of the comment that opens at `pos`, just past its matching ']', or npos when it is not
// closed.
std::size_t comment_end(const std::string& text, std::size_t pos);
// The end of the quoted word that opens at `pos`, just past its closing quote, or npos.
std::size_t quote_end(const std::string& text, std::size_t pos);
// Just past the next ';' from `pos` on outside quotes and comments: where the next tree or
// statement may begin. The end of the text when there is none, or after an unclosed quote or
// comment; then `left_open`, when given, is set to where that quote or comment opens (else to
// npos).
std::size_t statement_end(const std::string& text, std::size_t pos,
                          std::size_t* left_open = nullptr);

// What a problem says of a comment or quote that the end of the text leaves open.
constexpr const char* kCommentNotClosed = "a comment that is not closed";
constexpr const char* kQuoteNotClosed = "a quote that is not closed";
// Where a text starts past its UTF-8 byte order mark: 3 when it begins with one, else 0.
std::size_t after_byte_order_mark(const std::string& text);
// A byte as a message shows it: 'x', or "byte 0x0d" for one that does not print.
std::string shown_byte(char c);

}  // namespace tavrin

#endif  // TAVRIN_TREE_STANDARD_NEWICK_H
