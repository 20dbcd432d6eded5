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

// `text`, with the table's escapes when `escape`: names read from standard Newick quotes may hold
// any byte, so a tab, a line break and a backslash are written \t, \n, \\ and every other
// control byte \xHH, so that rows stay rows and no raw control byte reaches a terminal.
void write_name(std::ostream& out, std::string_view text, bool escape);
// The same as a string, for a message.
std::string shown_name(std::string_view text, bool escape);

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
// several. A list longer than kMostListBytes is cut there and followed by "...". With `escape`,
// both as write_name writes them.
constexpr std::size_t kMostListBytes = 200;
void write_no_root(std::ostream& err, std::string_view list, std::string_view tree,
                   bool escape = false);

// Why `pattern` cannot be used as a --E pattern.
void write_pattern_error(std::ostream& err, std::string_view pattern, std::string_view reason);

}  // namespace tavrin

#endif  // TAVRIN_OUTPUT_REPORT_H
