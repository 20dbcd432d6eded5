// The report rows of one analysed tree.
#ifndef TAVRIN_ANALYSIS_REPORT_H
#define TAVRIN_ANALYSIS_REPORT_H

#include <ostream>
#include <string>

#include "analysis/tavrin.h"

// One row per sister: `prefix`, tab, sister name, tab, the support value (a double as a default
// stream writes it: 95, 0.87, 1e-07) or "n/a", line break.
void write_rows(std::ostream& out, const Tavrin& analysis, const std::string& prefix);

#endif  // TAVRIN_ANALYSIS_REPORT_H
