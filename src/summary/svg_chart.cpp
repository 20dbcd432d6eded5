#include "summary/svg_chart.h"

#include <algorithm>
#include <locale>
#include <sstream>
#include <unordered_set>

#include "draw/xml_text.h"
#include "output/escapes.h"
#include "summary/table.h"

namespace tavrin::summary {

namespace {

constexpr const char* kAtLeast = "\xE2\x89\xA5";  // U+2265

// The first of 1, 2, 5, 10, 20, 50, ... at least a fifth of `largest`: about five grid lines.
std::size_t tick_step(std::size_t largest) {
    std::size_t step = 1;
    for (;;) {
        for (std::size_t factor : {1, 2, 5}) {
            if (step * factor * 5 >= largest) return step * factor;
        }
        step *= 10;
    }
}

std::string count_text(std::size_t trees, std::size_t supported, double min_support) {
    return counted(trees, "tree", "trees") + ", " + std::to_string(supported) + " with support " +
           kAtLeast + " " + format_double(min_support);
}

// Targets named in the title: at most this many, then "and N more targets".
constexpr std::size_t kNamedTargets = 3;

struct Bar {
    std::string label;    // escaped
    std::string tooltip;  // escaped
    std::size_t trees = 0;
    std::size_t supported = 0;
    std::string counts;           // escaped
    std::size_t label_chars = 0;  // the label's width in characters, roughly
};

constexpr const char* kStrong = "#1f5fa8";
constexpr const char* kLight = "#a8c8ea";
constexpr const char* kInk = "#222222";
constexpr const char* kGrid = "#e4e4e4";

// One bar per row, the first kChartBars rows, then one for the rest.
std::vector<Bar> make_bars(ChartRows rows, const ChartFacts& facts, bool one_target) {
    constexpr std::size_t kLabelChars = 40;
    // Tooltips show more of a name, not all of it: a name can be as long as the report.
    constexpr std::size_t kTooltipChars = 300;
    std::vector<Bar> bars;
    const std::size_t drawn = std::min(rows.size(), kChartBars);
    for (std::size_t i = 0; i < drawn; ++i) {
        const PairSummary& row = rows[i];
        const std::string name = one_target ? row.sister : row.sister + " (" + row.target + ")";
        Bar bar;
        bar.label = xml_text(name, kLabelChars);
        bar.trees = row.trees;
        bar.supported = row.supported;
        bar.counts = count_text(row.trees, row.supported, facts.min_support) + ", median " +
                     (row.has_median ? format_double(row.median) : std::string("n/a"));
        bar.tooltip = xml_text(row.target, kTooltipChars) + " / " +
                      xml_text(row.sister, kTooltipChars) + ": " + std::to_string(row.trees) +
                      " of " + std::to_string(row.share_of) + " trees (share " +
                      format_share(row.trees, row.share_of) + ")";
        bar.label_chars = std::min(name.size(), kLabelChars + 1);
        bars.push_back(std::move(bar));
    }
    if (rows.size() > drawn) {
        Bar other;
        const std::size_t pairs = rows.size() - drawn;
        other.label = "other (" + counted(pairs, "pair", "pairs") + ")";
        for (std::size_t i = drawn; i < rows.size(); ++i) {
            other.trees += rows[i].trees;
            other.supported += rows[i].supported;
        }
        other.counts = count_text(other.trees, other.supported, facts.min_support);
        other.tooltip = other.label + ": the pairs past the first " + std::to_string(drawn) +
                        ", a tree counted once per pair";
        other.label_chars = other.label.size();
        bars.push_back(std::move(other));
    }
    return bars;
}

// Where the bars go, in pixels. Text widths are estimated for a 12 px sans-serif font.
struct Layout {
    static constexpr double margin = 20;
    static constexpr double bar_span = 420;
    static constexpr double counts_width = 290;
    static constexpr double top = 104;
    static constexpr double pitch = 24;
    static constexpr double bar_height = 17;
    double x0 = 0;  // where the bars start
    double width = 0, height = 0, axis_y = 0;
    std::size_t step = 1, scale_max = 1;  // grid lines, and the number of trees at the end

    explicit Layout(const std::vector<Bar>& bars) {
        std::size_t largest = 1, longest_label = 0;
        for (const Bar& bar : bars) {
            largest = std::max(largest, bar.trees);
            longest_label = std::max(longest_label, bar.label_chars);
        }
        step = tick_step(largest);
        scale_max = (largest + step - 1) / step * step;
        x0 = margin + std::clamp(static_cast<double>(longest_label) * 7.0 + 8, 90.0, 300.0);
        width = x0 + bar_span + counts_width + margin;
        axis_y = top + pitch * static_cast<double>(bars.size()) + 2;
        height = bars.empty() ? top + 20 : axis_y + 44;
    }

    double x_of(std::size_t trees) const {
        return bar_span * static_cast<double>(trees) / static_cast<double>(scale_max);
    }
};

// <text x y{attributes}>{content}</text>, content escaped already.
void write_text(std::ostream& out, double x, double y, std::string_view content,
                std::string_view attributes = {}) {
    out << "<text x=\"" << svg_number(x) << "\" y=\"" << svg_number(y) << '"' << attributes << '>'
        << content << "</text>\n";
}

void write_rect(std::ostream& out, double x, double y, double width, double height,
                const char* fill) {
    out << "<rect x=\"" << svg_number(x) << "\" y=\"" << svg_number(y) << "\" width=\""
        << svg_number(width) << "\" height=\"" << svg_number(height) << "\" fill=\"" << fill
        << "\"/>\n";
}

// Grid and axis, under the bars.
void write_axis(std::ostream& out, const Layout& at) {
    out << "<g stroke=\"" << kGrid << "\" stroke-width=\"1\">\n";
    for (std::size_t tick = 0; tick <= at.scale_max; tick += at.step) {
        const double x = at.x0 + at.x_of(tick);
        out << "<line x1=\"" << svg_number(x) << "\" y1=\"" << svg_number(at.top - 6) << "\" x2=\""
            << svg_number(x) << "\" y2=\"" << svg_number(at.axis_y) << "\"/>\n";
    }
    out << "</g>\n"
        << "<line x1=\"" << svg_number(at.x0) << "\" y1=\"" << svg_number(at.axis_y) << "\" x2=\""
        << svg_number(at.x0 + at.bar_span) << "\" y2=\"" << svg_number(at.axis_y) << "\" stroke=\""
        << kInk << "\" stroke-width=\"1\"/>\n"
        << "<g text-anchor=\"middle\">\n";
    for (std::size_t tick = 0; tick <= at.scale_max; tick += at.step)
        write_text(out, at.x0 + at.x_of(tick), at.axis_y + 16, std::to_string(tick));
    write_text(out, at.x0 + at.bar_span / 2, at.axis_y + 34, "trees");
    out << "</g>\n";
}

void write_bars(std::ostream& out, const std::vector<Bar>& bars, const Layout& at) {
    for (std::size_t i = 0; i < bars.size(); ++i) {
        const Bar& bar = bars[i];
        const double y = at.top + at.pitch * static_cast<double>(i);
        // A bar of at least one tree stays visible however long the others are.
        const double full = std::max(at.x_of(bar.trees), 1.0);
        const double supported = bar.supported == 0 ? 0.0 : std::max(at.x_of(bar.supported), 1.0);
        const double text_y = y + at.bar_height - 4.5;
        out << "<g>\n<title>" << bar.tooltip << "</title>\n";
        write_text(out, at.x0 - 6, text_y, bar.label, " text-anchor=\"end\"");
        write_rect(out, at.x0, y, full, at.bar_height, kLight);
        if (supported > 0) write_rect(out, at.x0, y, supported, at.bar_height, kStrong);
        write_text(out, at.x0 + full + 6, text_y, bar.counts);
        out << "</g>\n";
    }
}

// A chart without its <svg> element: what goes inside it, and its size.
struct Chart {
    std::string body;
    double width = 0;
    double height = 0;
};

// The chart's title: how the pairs were counted (every sister or the first only), of which
// targets, in how many trees, in which group, and the threshold of the stronger shade.
std::string chart_title(const std::vector<std::string_view>& targets, std::size_t target_count,
                        const ChartFacts& facts) {
    std::string title = facts.first_sister_only ? "First sisters of " : "Sisters of ";
    title += targets.empty()
                 ? std::string("the target")
                 : names_listed(targets, target_count, kNamedTargets, "targets", shown_in_title);
    title += " in " + counted(facts.tree_count, "tree", "trees");
    if (!facts.group.empty()) title += ", " + xml_text(facts.group, 80);
    return title + " (" + (facts.first_sister_only ? "--first, " : "") + "--min-support " +
           format_double(facts.min_support) + ")";
}

Chart draw_chart(ChartRows rows, const ChartFacts& facts) {
    // Built apart and in the classic locale, so that the caller's stream settings do not matter.
    std::ostringstream out;
    out.imbue(std::locale::classic());
    // The distinct targets, in table order: the first few by name, all of them counted.
    std::unordered_set<std::string_view> seen;
    std::vector<std::string_view> targets;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        if (seen.insert(rows[i].target).second && targets.size() <= kNamedTargets)
            targets.push_back(rows[i].target);
    }
    const std::vector<Bar> bars = make_bars(rows, facts, seen.size() <= 1);
    const Layout at(bars);
    const double margin = Layout::margin;

    const std::string threshold = format_double(facts.min_support);
    const std::string title = chart_title(targets, seen.size(), facts);
    const std::size_t without = facts.tree_count - facts.trees_with_sister;
    const std::string subtitle = std::to_string(facts.trees_with_sister) + " with a sister, " +
                                 std::to_string(without) +
                                 " without. Bar length: trees with the pair.";

    out << "<title>" << title << "</title>\n"
        << "<desc>" << subtitle << " Stronger shade: trees whose support is at least " << threshold
        << ".</desc>\n";
    write_rect(out, 0, 0, at.width, at.height, "#ffffff");
    write_text(out, margin, 30, title, " font-size=\"16\" font-weight=\"bold\"");
    write_text(out, margin, 50, subtitle);

    // Legend: the two shades and the threshold.
    out << "<g>\n";
    write_rect(out, margin, 62, 12, 12, kStrong);
    write_text(out, margin + 18, 72, std::string("support ") + kAtLeast + ' ' + threshold);
    write_rect(out, margin + 150, 62, 12, 12, kLight);
    write_text(out, margin + 168, 72, "support below " + threshold + " or n/a");
    out << "</g>\n";

    if (bars.empty()) {
        write_text(out, margin, Layout::top, "No tree has a sister.");
    } else {
        write_axis(out, at);
        write_bars(out, bars, at);
    }
    return Chart{out.str(), at.width, at.height};
}

// The opening tag of a chart of this size; `place` puts a chart inside another.
std::string svg_open(double width, double height, const std::string& place = std::string()) {
    return "<svg xmlns=\"http://www.w3.org/2000/svg\" version=\"1.1\"" + place + " width=\"" +
           svg_number(width) + "\" height=\"" + svg_number(height) + "\" viewBox=\"0 0 " +
           svg_number(width) + ' ' + svg_number(height) +
           "\" font-family=\"sans-serif\" font-size=\"12\" fill=\"" + kInk + "\">\n";
}

constexpr const char* kDeclaration = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";

}  // namespace

void write_svg(std::ostream& destination, const std::vector<PairSummary>& rows,
               const ChartFacts& facts) {
    const Chart chart = draw_chart(all_rows(rows), facts);
    destination << kDeclaration << svg_open(chart.width, chart.height) << chart.body << "</svg>\n";
}

std::string chart_element(ChartRows rows, const ChartFacts& facts) {
    const Chart chart = draw_chart(rows, facts);
    return svg_open(chart.width, chart.height) + chart.body + "</svg>\n";
}

std::vector<bool> charted_panels(const std::vector<ChartPanel>& panels) {
    std::vector<bool> charted(panels.size(), panels.size() <= kChartedGroups);
    if (panels.size() <= kChartedGroups) return charted;
    std::vector<std::size_t> order(panels.size());
    for (std::size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    const auto larger = [&panels](std::size_t a, std::size_t b) {
        const std::size_t trees_a = panels[a].facts.tree_count;
        const std::size_t trees_b = panels[b].facts.tree_count;
        return trees_a != trees_b ? trees_a > trees_b : a < b;
    };
    std::nth_element(order.begin(), order.begin() + kChartedGroups - 1, order.end(), larger);
    for (std::size_t i = 0; i < kChartedGroups; ++i)
        charted[order[i]] = true;
    return charted;
}

void write_grouped_svg(std::ostream& destination, const std::vector<ChartPanel>& panels,
                       const std::string& title) {
    std::vector<Chart> charts;
    double width = 0, height = 0;
    for (const ChartPanel& panel : panels) {
        charts.push_back(draw_chart(panel.rows, panel.facts));
        width = std::max(width, charts.back().width);
        height += charts.back().height;
    }
    std::string svg =
        kDeclaration + svg_open(width, height) + "<title>" + xml_text(title, 300) + "</title>\n";
    double y = 0;
    for (const Chart& chart : charts) {
        svg += svg_open(chart.width, chart.height, " x=\"0\" y=\"" + svg_number(y) + "\"") +
               chart.body + "</svg>\n";
        y += chart.height;
    }
    destination << svg << "</svg>\n";
}

}  // namespace tavrin::summary
