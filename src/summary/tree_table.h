// What Tavrin-summary takes from the rows of Tavrin's per-tree table, read through the table's
// own format (output/table_format.h).
#ifndef TAVRIN_SUMMARY_TREE_TABLE_H
#define TAVRIN_SUMMARY_TREE_TABLE_H

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "output/table_format.h"
#include "summary/tally.h"

namespace tavrin::summary {

// One row of a per-tree table, read once: the tally, the picture links and the page all take
// what they need from it.
struct TreeRecord {
    std::size_t row = 0;   // its place in its table, from 1
    std::string file;      // the fields with their escapes undone
    std::size_t tree = 0;  // 0 when the field is not a number from 1
    std::string target;
    TreeStatus status = TreeStatus::kUnnamed;  // the reason when there is no sister
    std::string label;                         // empty when the table has no label column
    bool has_sister = false;                   // status `sisters`
    std::string sister1;
    std::string sister2;      // empty when the tree has one sister
    Support support;          // n/a when the tree has no sister
    bool has_strays = false;  // a tree with sisters whose strays column is not empty

    // The row as written (without its line break), and each field of it with its escapes in
    // place, as the page shows it; a column the row's table lacks is empty.
    std::string line;
    std::string_view field(Column column) const {
        const auto at = static_cast<std::size_t>(column);
        return std::string_view(line).substr(starts_[at], ends_[at] - starts_[at]);
    }

private:
    friend bool parse_tree_table_row(std::string_view, const TableLayout&, TreeRecord&,
                                     std::string&);
    std::array<std::uint32_t, kColumnCount> starts_{};
    std::array<std::uint32_t, kColumnCount> ends_{};
};

// Reads one row (without its line break) of a table laid out as `layout` into `row`, whose
// strings are reused; `row.row` is left as it is. False with `problem` set for a row of the
// wrong number of columns, an unknown status, a sister where the status says there is none (or
// none where it says there is), a support that is neither a number nor n/a, a backslash that
// starts none of the escapes, or a row of 4 GiB or more.
bool parse_tree_table_row(std::string_view line, const TableLayout& layout, TreeRecord& row,
                          std::string& problem);

}  // namespace tavrin::summary

#endif
