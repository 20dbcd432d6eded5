// The summary table: a header line, then one tab-separated line per (target, sister) pair, with
// a leading label column when the pairs were tallied by label, and a file column (after it) when
// by file.
#ifndef TAVRIN_SUMMARY_TABLE_H
#define TAVRIN_SUMMARY_TABLE_H

#include <cstddef>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "summary/tally.h"

namespace tavrin::summary {

// A double as a default C++ stream writes it, whatever the global locale: 95, 87.5, 1e-07.
std::string format_double(double value);

// trees / total with three decimals, rounded half up (0.125, 0.063 for 1/16); 0.000 when
// total is 0.
std::string format_share(std::size_t trees, std::size_t total);

// How a name is written where it stands on a line of text.
enum class NameText {
    // On standard output or standard error: every control byte escaped as Tavrin's messages
    // escape them (\t, \n, \r, \v, \f, \xHH; a name read from Tavrin's table as \x1b is
    // written \x1b again), so that no name moves a terminal. A backslash stays as it is, as a
    // report row holds it.
    kStream,
    // In the page and the chart, which escape it for HTML/SVG: a tab or line break as \t or \n.
    kPage,
};

// A name as a field of the table, a closing line or a title: a tab or line break in it (a table
// read by the summary can hold one) is written \t or \n, so that the line keeps its columns;
// on a stream, see NameText::kStream.
void append_name(std::string& block, std::string_view name, NameText text = NameText::kStream);

// "A", "A and B", "A, B and C", "A, B, C and D" from the first names (at least `most` + 1 of them
// when there are more) and their total count; past that "A, B, C and 4 more <what>". Each name
// is written as `show` gives it.
std::string names_listed(const std::vector<std::string_view>& first, std::size_t count,
                         std::size_t most, const std::string& what,
                         std::string (*show)(std::string_view));

// A target or label named in the title of a chart or the page: XML text, cut at 40 characters.
std::string shown_in_title(std::string_view name);

// A group as the closing count, the warnings and the charts name it: "label fasttree",
// "target Choano", "label fasttree, file g01.nwk, target Choano"; an empty name is "(none)".
std::string group_name(const TreeGroup& group, const Grouping& grouping,
                       NameText text = NameText::kStream);

// The rows in their order, each share taken of the row's own base; grouped by label or file,
// with the label and file columns.
void write_table(std::ostream& out, const std::vector<PairSummary>& rows, const Grouping& by);

}  // namespace tavrin::summary

#endif
