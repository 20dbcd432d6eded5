// The support column of reports and tables, and the same decimal grammar for numbers given on
// the command line.
#ifndef TAVRIN_SUMMARY_SUPPORT_FIELD_H
#define TAVRIN_SUMMARY_SUPPORT_FIELD_H

#include <string>
#include <string_view>

#include "summary/tally.h"

namespace tavrin::summary {

// Reads a support field: `n/a`, or a decimal number as a C++ stream writes a double (`95`,
// `87.5`, `1e-07`, `-3`, `2.5e+06`, `inf`, `nan`). A leading `+`, a fraction without integer
// digits (`.5`) and lower- or upper-case exponent letters are accepted too. Anything else (empty,
// blanks, trailing text, hexadecimal, a value beyond the range of a double) is refused with a
// description in `problem`.
bool parse_support(std::string_view text, Support& support, std::string& problem);

// The same grammar for a number given on the command line: n/a and nan are refused.
bool parse_number(std::string_view text, double& value);

}  // namespace tavrin::summary

#endif  // TAVRIN_SUMMARY_SUPPORT_FIELD_H
