// What Tavrin-summary takes from the rows of Tavrin's per-tree table, read through the table's
// own format (output/table_format.h).
#ifndef TAVRIN_SUMMARY_TREE_TABLE_H
#define TAVRIN_SUMMARY_TREE_TABLE_H

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "output/table_format.h"
#include "summary/tally.h"

namespace tavrin::summary {

// What the summary takes from one row; the other columns are not read.
struct TreeTableRow {
    bool has_sister = false;                   // status `sisters`
    TreeStatus status = TreeStatus::kUnnamed;  // the status: the reason when there is no sister
    std::string target;                        // the fields with their escapes undone
    std::string sister1;
    std::string sister2;      // empty when the tree has one sister
    std::string label;        // empty when the table has no label column
    Support support;          // n/a when the tree has no sister
    bool has_strays = false;  // a tree with sisters whose strays column is not empty
};

// One tree of a table as the page lists it: the row as written and its place in its table
// (from 1, counted from the header line before it).
struct TreeRecord {
    std::size_t row = 0;
    std::string line;  // without its line break
    // The layout of its table; absent: the columns in their order.
    std::optional<TableLayout> layout = std::nullopt;

    // The row's fields, escapes in place; a column the row's table lacks is empty.
    TableFields fields() const {
        TableFields split;
        split.split(line, layout ? &*layout : nullptr);
        return split;
    }
};

// Reads one row (without its line break) of a table laid out as `layout` into `row`, whose
// strings are reused. False with `problem` set for a row of the wrong number of columns, an
// unknown status, a sister where the status says there is none (or none where it says there is),
// a support that is neither a number nor n/a, or a backslash that starts none of the escapes.
bool parse_tree_table_row(std::string_view line, const TableLayout& layout, TreeTableRow& row,
                          std::string& problem);

}  // namespace tavrin::summary

#endif
