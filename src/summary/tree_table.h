// Reading the rows of Tavrin's per-tree table: a header line, then one row per tree,
// `file tree target status sister1 sister2 support rerooted target_leaves outliers
// outlier_leaves root` (tables written before the root column end at outlier_leaves),
// tab-separated, with \t, \n, \\ (and \, in a list of names) standing for a
// tab, a line break, a backslash and a comma.
#ifndef TAVRIN_SUMMARY_TREE_TABLE_H
#define TAVRIN_SUMMARY_TREE_TABLE_H

#include <cstddef>
#include <string>
#include <string_view>

#include "analysis/table.h"
#include "summary/tally.h"

namespace tavrin::summary {

// The header lines that start a table: the one Tavrin writes, and the one it wrote before the
// root column, whose rows have one column less.
constexpr std::string_view kTreeTableHeader = tavrin::kTableHeader;
constexpr std::string_view kTreeTableHeaderWithoutRoot = tavrin::kTableHeaderWithoutRoot;
constexpr std::size_t kTreeTableColumns = 12;

// What the summary takes from one row; the other columns are not read.
struct TreeTableRow {
    bool has_sister = false;                   // status `sisters`
    TreeStatus status = TreeStatus::kUnnamed;  // the reason when there is no sister
    std::string target;                        // the fields with their escapes undone
    std::string sister1;
    std::string sister2;  // empty when the tree has one sister
    Support support;      // n/a when the tree has no sister
};

// One tree of a table as the page lists it: the columns it shows, their escapes undone, and the
// row's place in its table (from 1, counted from the header line before it).
struct TreeRecord {
    std::size_t row = 0;
    std::string file, tree, status, sister1, sister2, support, outliers;
};

// The record of a row that parse_tree_table_row accepted.
TreeRecord read_tree_record(std::string_view line, std::size_t row);

// Reads one row (without its line break) of a table of `columns` columns (kTreeTableColumns, or
// one less) into `row`, whose strings are reused. False with `problem` set for a row of the
// wrong number of columns, an unknown status, a sister where the
// status says there is none (or none where it says there is), a support that is neither a
// number nor n/a, or a backslash that starts none of the escapes.
bool parse_tree_table_row(std::string_view line, TreeTableRow& row, std::string& problem,
                          std::size_t columns = kTreeTableColumns);

// `field` with its escapes undone, into `out`; false for a backslash that starts none of them.
bool unescape_field(std::string_view field, std::string& out);

}  // namespace tavrin::summary

#endif
