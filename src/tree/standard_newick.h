// Reading standard Newick: blanks, tabs and line breaks outside quotes ignored, quoted labels
// ('' for one quote), comments in square brackets skipped wherever they stand, several trees per
// text, each ended by ';'.
//
// The tree built is the classic reader's for the same tree (children folded from the left, see
// child_fold.h), with one mend: the fold node directly under the root (the last one the fold
// makes) takes the support of the root's last child, because for the unrooted trees that
// inference programs write with a root of three children it stands for the same split as that
// child. A length follows ':'; a node without one has length 0.
//
// One pass over the text, no recursion: a ladder of any depth is read on a stack of frames.
#ifndef TAVRIN_TREE_STANDARD_NEWICK_H
#define TAVRIN_TREE_STANDARD_NEWICK_H

#include <cstddef>
#include <memory>
#include <string>

#include "tree/malformed.h"
#include "tree/phylogeny.h"
#include "tree/read_options.h"

namespace tavrin {

// Reads the tree that starts at `pos`, up to and including its ';', and answers it, `pos` moved
// past the ';'. On a text that is not standard Newick it answers null, having released whatever
// it built, with the problem's offset and what in `problem` (nothing else of it is touched), and
// `pos` moved past the next ';' outside quotes and comments (the end of the text after an
// unclosed quote or comment), where the next tree may begin.
std::unique_ptr<Phylogeny> read_standard_tree(const std::string& text, std::size_t& pos,
                                              const ReadOptions& options, Malformed& problem);

// Does the text hold nothing from `pos` on but blanks and closed comments?
bool only_blanks_from(const std::string& text, std::size_t pos);

}  // namespace tavrin

#endif  // TAVRIN_TREE_STANDARD_NEWICK_H
