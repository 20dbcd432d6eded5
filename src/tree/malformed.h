// Why a text gives no tree, and the line that says so.
#ifndef TAVRIN_TREE_MALFORMED_H
#define TAVRIN_TREE_MALFORMED_H

#include <cstddef>
#include <string>

#include "tree/read_options.h"

namespace tavrin {

// Why a tree could not be read, with what its message shows.
struct Malformed {
    Dialect dialect = Dialect::kClassic;
    std::size_t tree = 1;    // which tree of the text, counted from 1
    std::size_t offset = 0;  // byte offset of the problem in the text
    std::string found;       // classic: the text's last character; empty for an empty text
    std::string what;        // standard: what is wrong at `offset`
};

// The line that reports a malformed tree of `file`, without its line break. The classic
// dialect's message does not name the file and shows the last character as it is, but for a NUL,
// shown \x00; the standard one reads "Malformed Newick in <file>, tree <k>, at byte <offset>:
// <what>", the file's name escaped as names in rows are (every control byte shown).
std::string malformed_message(const Malformed& malformed, const std::string& file);

}  // namespace tavrin

#endif  // TAVRIN_TREE_MALFORMED_H
