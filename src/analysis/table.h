// The table: one tab-separated row per tree, saying what became of it, for a run over many trees
// that must account for every one of them.
//
//   file  tree  target  status  sister1  sister2  support  rerooted  target_leaves  outliers
//   outlier_leaves  root
//
// A field holding a tab, a line break or a backslash is written with the escapes \t, \n and \\;
// a comma inside an outlier leaf's name is written \, so that the list stays a list.
#ifndef TAVRIN_ANALYSIS_TABLE_H
#define TAVRIN_ANALYSIS_TABLE_H

#include <cstddef>
#include <ostream>
#include <string>
#include <string_view>

#include "analysis/pipeline.h"

namespace tavrin {

// Where a row's tree comes from and what was searched in it.
struct TableRowKey {
    std::string_view file;    // the path as given
    std::size_t tree = 1;     // the tree's number within its file, from 1
    std::string_view target;  // the search prefix as given
};

// The status column of an outcome: "sisters", "not-a-clade"...
const char* status_name(Outcome outcome);

// The header line, without its line break: Tavrin writes it and Tavrin-summary recognises a
// table by it.
constexpr std::string_view kTableHeader =
    "file\ttree\ttarget\tstatus\tsister1\tsister2\tsupport\trerooted\ttarget_leaves\toutliers\t"
    "outlier_leaves\troot";
// The header of the tables written before the root column came; Tavrin-summary reads them too.
constexpr std::string_view kTableHeaderWithoutRoot =
    kTableHeader.substr(0, kTableHeader.size() - 5);

// The header line.
void write_table_header(std::ostream& out);

// The row of an analysed tree.
void write_table_row(std::ostream& out, const TableRowKey& key, const AnalysisResult& result);

// The row of a file whose text is not a tree.
void write_malformed_row(std::ostream& out, const TableRowKey& key);

// The row of a file that cannot be opened.
void write_unreadable_row(std::ostream& out, const TableRowKey& key);

}  // namespace tavrin

#endif  // TAVRIN_ANALYSIS_TABLE_H
