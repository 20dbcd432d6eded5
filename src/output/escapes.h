// Values shown inside messages: escaped as the table escapes its fields, and every other control
// byte too, so that a message stays one line on a terminal; counts with their nouns.
#ifndef TAVRIN_OUTPUT_ESCAPES_H
#define TAVRIN_OUTPUT_ESCAPES_H

#include <cstddef>
#include <string>
#include <string_view>

namespace tavrin {

// `text` as a message shows it: escaped as in the table (\t, \n, \\), and every other control
// byte (a carriage return would make the line overwrite itself) as \r, \v, \f or \xHH.
std::string shown_value(std::string_view text);

// `text` with its control bytes escaped as shown_value escapes them, its backslashes left as
// they are: for a message whose values are shown already.
std::string shown_controls(std::string_view text);

// `count` and the noun that fits it: "1 tree", "2 trees".
std::string counted(std::size_t count, const char* one, const char* many);

}  // namespace tavrin

#endif  // TAVRIN_OUTPUT_ESCAPES_H
