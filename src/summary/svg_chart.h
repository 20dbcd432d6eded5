// The summary as a horizontal bar chart in SVG 1.1: one bar per (target, sister) pair, its
// length the number of trees, the supported part in a stronger shade.
#ifndef TAVRIN_SUMMARY_SVG_CHART_H
#define TAVRIN_SUMMARY_SVG_CHART_H

#include <cstddef>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "draw/xml_text.h"
#include "summary/tally.h"

namespace tavrin::summary {

struct ChartFacts {
    std::size_t tree_count = 0;
    std::size_t trees_with_sister = 0;
    double min_support = 70;
    bool first_sister_only = false;  // --first: only the first sister of each tree counted
};

// Bars drawn one per pair; the pairs past them are summed into one more bar.
constexpr std::size_t kChartBars = 30;

// Writes a self-contained chart (no script, no external font, image or style sheet) of the
// table rows, in their order.
void write_svg(std::ostream& out, const std::vector<PairSummary>& rows, const ChartFacts& facts);

using tavrin::xml_text;

}  // namespace tavrin::summary

#endif
