// The escapes that keep a name on its line: the table's (\t, \n, \\, and \, inside a list),
// shared by the report of standard Newick, and those of messages, which show every control
// byte.
#ifndef TAVRIN_ANALYSIS_ESCAPES_H
#define TAVRIN_ANALYSIS_ESCAPES_H

#include <ostream>
#include <string>
#include <string_view>

namespace tavrin {

// Escapes `text` onto `out`: tabs, line breaks and backslashes; with `in_list`, a comma as well.
void write_escaped(std::ostream& out, std::string_view text, bool in_list);

// `text` with tabs, line breaks and backslashes escaped.
std::string escape_field(std::string_view text);

// `text` as a message shows it, so that the message stays one line: escaped as in the table,
// and every other control byte (a carriage return would make the line overwrite itself) as \r,
// \v, \f or \xHH.
std::string shown_value(std::string_view text);

}  // namespace tavrin

#endif  // TAVRIN_ANALYSIS_ESCAPES_H
