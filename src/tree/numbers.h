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

// The end of the number that starts exactly at `first` (no white space skipped), as read_number
// takes it; `first` when none starts there. The number is the longest prefix of the form:
// optional sign, digits with at most one decimal point (at least one digit), optional exponent.
// Words such as "inf" or "nan" and hexadecimal forms are not numbers here: a leaf named
// Nanoarchaeum must not get a NaN length.
inline const char* number_end(const char* first, const char* last) {
    const char* p = first;
    if (p < last && (*p == '+' || *p == '-')) ++p;
    bool digits = false;
    while (p < last && is_digit(*p))
        ++p, digits = true;
    if (p < last && *p == '.') {
        ++p;
        while (p < last && is_digit(*p))
            ++p, digits = true;
    }
    if (!digits) return first;
    if (p < last && (*p == 'e' || *p == 'E')) {
        const char* e = p + 1;
        if (e < last && (*e == '+' || *e == '-')) ++e;
        if (e < last && is_digit(*e)) {
            while (e < last && is_digit(*e))
                ++e;
            p = e;
        }
    }
    return p;
}

// Reads a number as read_number does into `value`, and answers whether there was one: false,
// `value` 0, when none starts there (after white space) or when it lies beyond the range of
// double (1e400, -1e400, which read_number makes infinite). The supports of standard Newick are
// read so: a support too large to hold is no number, as the words "inf" and "nan" are none.
bool read_finite_number(const char* first, const char* last, double& value);

// Appends `value` formatted as printf's "%f" in the C locale (six digits after the point).
void append_fixed(std::string& out, double value);

}  // namespace tavrin

#endif  // TAVRIN_TREE_NUMBERS_H
