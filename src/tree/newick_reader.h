// Reading the classic Newick dialect, behind TreeReader and the node constructor, and exposed
// for the tests that compare the two reading paths.
//
// The dialect splits a node text on its last comma of lowest parenthesis depth and removes only
// the first '(' and the last ')' of a wrapped text, so odd texts (redundant parentheses, stray
// characters, unbalanced parentheses) still give a tree of two-child nodes. Two readers build
// the same tree:
// - read_well_formed: one pass, linear, for texts of the form  node := leaf | '(' node (',' node)+
//   ')' tail, where leaves and tails hold none of "(),". It answers false on any other text.
// - read_general: the rules for any text, with sorted position lists and a range-minimum tree
//   over comma depths, O(n log n).
#ifndef TAVRIN_TREE_NEWICK_READER_H
#define TAVRIN_TREE_NEWICK_READER_H

#include <cstddef>
#include <string>

#include "tree/node_ref.h"
#include "tree/phylogeny.h"
#include "tree/read_options.h"

namespace tavrin {

// Each reader fills `node` (a fresh default node whose `parent` is already set) with the node
// written in text[first, last) and builds its subtree below it, its nodes the model's or, with
// `store`, those of a compact tree (`node` then the first that `store` made). With `top_children`,
// the well-formed reader counts there the children written directly under `node` (0 for a leaf).
bool read_well_formed(NodeRef node, CompactStore* store, const std::string& text, size_t first,
                      size_t last, const ReadOptions& options = {}, size_t* top_children = nullptr);
void read_general(NodeRef node, CompactStore* store, const std::string& text, size_t first,
                  size_t last, const ReadOptions& options = {});

// The well-formed reader when it applies, else the general one; `top_children` as for the
// well-formed reader, 0 when the general one read the text.
void read_node_text(NodeRef node, CompactStore* store, const std::string& text, size_t first,
                    size_t last, const ReadOptions& options = {}, size_t* top_children = nullptr);

}  // namespace tavrin

#endif  // TAVRIN_TREE_NEWICK_READER_H
