// What a caller chooses about reading tree text, and how an internal node's label becomes its
// support. Every reader applies `support_from_label` to the label it finds when it closes an
// internal node; no reader interprets a label any other way.
#ifndef TAVRIN_TREE_READ_OPTIONS_H
#define TAVRIN_TREE_READ_OPTIONS_H

#include "tree/numbers.h"

namespace tavrin {

enum class Dialect {
    // The tool's own Newick: the whole text is one tree ended by its last character ';'; no
    // quoting, no comments, and every character other than "(),:" belongs to a name or number.
    kClassic,
};

struct ReadOptions {
    Dialect dialect = Dialect::kClassic;
};

// The support written in an internal node's label [first, last): the number at its start, 0
// when it does not start with one (an internal node's name).
inline double support_from_label(const char* first, const char* last, const ReadOptions&) {
    return read_number(first, last);
}

}  // namespace tavrin

#endif  // TAVRIN_TREE_READ_OPTIONS_H
