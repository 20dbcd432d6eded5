// What a caller chooses about reading tree text, and how an internal node's label becomes its
// support. Every reader applies `support_from_label` to the label it finds when it closes an
// internal node; no reader interprets a label any other way.
#ifndef TAVRIN_TREE_READ_OPTIONS_H
#define TAVRIN_TREE_READ_OPTIONS_H

#include <cstddef>
#include <cstdint>
#include <string>

#include "tree/leaf_names.h"
#include "tree/numbers.h"

namespace tavrin {

enum class Dialect {
    // The tool's own Newick: the whole text is one tree ended by its last character ';'; no
    // quoting, no comments, and every character other than "(),:" belongs to a name or number.
    kClassic,
    // Standard Newick, several trees per text (see standard_newick.h).
    kStandard,
};

// The size of a tree's text from which the programs read it compact: about 25,000 leaves, where
// its model would take some 5 MB.
constexpr std::size_t kCompactTextBytes = std::size_t{1} << 20;

struct ReadOptions {
    Dialect dialect = Dialect::kClassic;
    // Which '/'-separated part of an internal node's label holds the support, from 1 (IQ-TREE
    // writes "SH-aLRT/UFBoot", so 2 picks the bootstrap). Values below 1 count as 1.
    int support_field = 1;
    // Standard Newick: when not empty, the support of an internal node is the value of this
    // attribute in its comments (see node_comments.h), and its label is not read.
    std::string support_attribute{};
    // Standard Newick: leaf names written as tokens of a NEXUS TRANSLATE table, and the names
    // they stand for; a leaf whose name is no token keeps it.
    const LeafNames* leaf_names = nullptr;
    // Classic dialect: a text of at least this many bytes is read into a compact tree
    // (tree/node_ref.h), a shorter one into the model's nodes. The programs read big trees
    // compact, where memory is what they cost; a small tree costs fewer instructions as the
    // model, and its memory is small either way.
    std::size_t compact_from = SIZE_MAX;
    // A compact tree read by the one-pass reader keeps its lengths and supports as the text they
    // were written as, read when a step asks for one: a run that reads few of them (a report
    // reads the supports of the rows it writes) skips reading the rest. A run that reads every
    // length, some of them many times (a rooting), has them read at once.
    bool numbers_as_text = true;
};

// The support written in an internal node's label [first, last): the number at the start of its
// support field, 0 when the field does not start with one (an internal node's name) or the label
// has fewer fields. In standard Newick a number beyond the range of double reads 0 as well
// (read_finite_number), as "inf" does; the classic dialect reads it infinite, as atof does.
inline double support_from_label(const char* first, const char* last, const ReadOptions& options) {
    // Labels are short: a plain loop, which also takes the empty label as it comes.
    auto field_end = [last](const char* p) {
        while (p < last && *p != '/')
            ++p;
        return p;
    };
    for (int field = 1; field < options.support_field; ++field) {
        first = field_end(first);
        if (first == last) return 0;
        ++first;
    }
    if (options.dialect == Dialect::kClassic) return read_number(first, field_end(first));
    double support = 0;
    read_finite_number(first, field_end(first), support);
    return support;
}

}  // namespace tavrin

#endif  // TAVRIN_TREE_READ_OPTIONS_H
