// The report: a header line per tree, one tab-separated row per sister of an analysed tree, and
// the messages on standard error that say why a tree has no row or why the analysis could not
// run.
#ifndef TAVRIN_OUTPUT_REPORT_H
#define TAVRIN_OUTPUT_REPORT_H

#include <cstddef>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "output/table_format.h"

namespace tavrin {

// `text`, with the table's escapes when `escape` (names read from standard Newick quotes may
// hold a tab or a line break: escaped, rows stay rows).
void write_name(std::ostream& out, std::string_view text, bool escape);

// The header line of a tree: `<File>:`, or `<File>:<k>:` for the k-th tree of a file of
// `several`.
void write_tree_header(std::ostream& out, std::string_view path, std::size_t tree, bool several,
                       bool escape);

// One row per sister: `prefix`, tab, sister name, tab, the support column, line break.
void write_rows(std::ostream& out, std::string_view prefix, const std::vector<std::string>& sisters,
                const SupportCell& support, bool escape = false);

// "Set aside: " and `names` joined by commas, then a line break; nothing for no names.
void write_set_aside(std::ostream& err, const std::vector<std::string>& names, bool escape = false);

// "TARGET IS ROOT" or "CLADE NOT FOUND" when `status` is either (an ambiguous set of outliers
// leaves the target not found); nothing otherwise.
void write_status_message(std::ostream& err, TreeStatus status);

// "No root from --root <list> for <tree>"; `tree` names it: its file, and ":<k>" for the k-th of
// several.
void write_no_root(std::ostream& err, std::string_view list, std::string_view tree);

// Why `pattern` cannot be used as a --E pattern.
void write_pattern_error(std::ostream& err, std::string_view pattern, std::string_view reason);

}  // namespace tavrin

#endif  // TAVRIN_OUTPUT_REPORT_H
