// The summary table: a header line, then one tab-separated line per (target, sister) pair.
#ifndef TAVRIN_SUMMARY_TABLE_H
#define TAVRIN_SUMMARY_TABLE_H

#include <cstddef>
#include <ostream>
#include <string>
#include <vector>

#include "summary/tally.h"

namespace tavrin::summary {

// A double as a default C++ stream writes it, whatever the global locale: 95, 87.5, 1e-07.
std::string format_double(double value);

// trees / total with three decimals, rounded half up (0.125, 0.063 for 1/16); 0.000 when
// total is 0.
std::string format_share(std::size_t trees, std::size_t total);

void write_table(std::ostream& out, const std::vector<PairSummary>& rows, std::size_t tree_count);

}  // namespace tavrin::summary

#endif
