// Number reading and writing for the Newick dialect, independent of the user's locale.
#ifndef TAVRIN_TREE_NUMBERS_H
#define TAVRIN_TREE_NUMBERS_H

#include <string>

namespace tavrin {

// An ASCII decimal digit, whatever the user's locale.
inline bool is_digit(char c) {
    return c >= '0' && c <= '9';
}

// Reads a number from the start of [first, last) as atof does in the C locale: leading white
// space skipped, the longest prefix that forms a number taken, 0 when there is none. Never reads
// outside the range.
double read_number(const char* first, const char* last);

// Appends `value` formatted as printf's "%f" in the C locale (six digits after the point).
void append_fixed(std::string& out, double value);

}  // namespace tavrin

#endif  // TAVRIN_TREE_NUMBERS_H
