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
    std::string group;               // the group charted (--by), named in the title; or empty
};

// The pairs of one chart: a run of the table's rows.
struct ChartRows {
    const PairSummary* begin = nullptr;
    const PairSummary* end = nullptr;
    std::size_t size() const { return static_cast<std::size_t>(end - begin); }
    const PairSummary& operator[](std::size_t i) const { return begin[i]; }
};

// All the rows of `rows`.
inline ChartRows all_rows(const std::vector<PairSummary>& rows) {
    return ChartRows{rows.data(), rows.data() + rows.size()};
}

// One chart of each group.
struct ChartPanel {
    ChartRows rows;
    ChartFacts facts;
};

// Bars drawn one per pair; the pairs past them are summed into one more bar.
constexpr std::size_t kChartBars = 30;

// Groups charted at most (--by): the chart file and the page draw the charts of this many
// groups, the largest; the page lists the others as tables only.
constexpr std::size_t kChartedGroups = 200;

// Which panels are charted: all of them up to kChartedGroups, else the kChartedGroups with the
// most trees (the first to appear among equals). Linear in the number of panels.
std::vector<bool> charted_panels(const std::vector<ChartPanel>& panels);

// Writes a self-contained chart (no script, no external font, image or style sheet) of the
// table rows, in their order.
void write_svg(std::ostream& out, const std::vector<PairSummary>& rows, const ChartFacts& facts);

// The chart of `rows` as an <svg> element, without the XML declaration: for a page.
std::string chart_element(ChartRows rows, const ChartFacts& facts);

// Writes one document holding the charts of the groups one under the other, titled `title`.
void write_grouped_svg(std::ostream& out, const std::vector<ChartPanel>& panels,
                       const std::string& title);

}  // namespace tavrin::summary

#endif
