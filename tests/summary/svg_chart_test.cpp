// The chart: escaping of names, the bars drawn, the "other" bar, title and legend.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "summary/svg_chart.h"
#include "summary/tally.h"

namespace tavrin::summary {

namespace {

using summary::PairSummary;

std::size_t occurrences(const std::string& text, const std::string& what) {
    std::size_t count = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++count;
    return count;
}

TEST(XmlText, EscapesMarkupAndReplacesWhatXmlCannotHold) {
    EXPECT_EQ(xml_text("A&B <C> \"D\" 'E'"), "A&amp;B &lt;C&gt; &quot;D&quot; &apos;E&apos;");
    EXPECT_EQ(xml_text("caf\xC3\xA9 \xE2\x89\xA5 \xF0\x9F\x8C\xB3"),
              "caf\xC3\xA9 \xE2\x89\xA5 \xF0\x9F\x8C\xB3");  // UTF-8 is kept
    const std::string fffd = "\xEF\xBF\xBD";
    EXPECT_EQ(xml_text("a\xFF"
                       "b"),
              "a" + fffd + "b");                              // not UTF-8
    EXPECT_EQ(xml_text("\xC3"), fffd);                        // cut sequence
    EXPECT_EQ(xml_text("\xC0\xAF"), fffd + fffd);             // overlong '/'
    EXPECT_EQ(xml_text("\xED\xA0\x80"), fffd + fffd + fffd);  // a surrogate
    EXPECT_EQ(xml_text(std::string("a\x01\x1B\r", 4) + std::string(1, '\0')),
              "a" + fffd + fffd + fffd + fffd);
    EXPECT_EQ(xml_text("\xEF\xBF\xBE"), fffd);  // U+FFFE
}

TEST(XmlText, CutsLongTextByCharactersNotBytes) {
    EXPECT_EQ(xml_text("\xC3\xA9\xC3\xA9\xC3\xA9", 2), "\xC3\xA9\xC3\xA9\xE2\x80\xA6");
    EXPECT_EQ(xml_text("&&", 2), "&amp;&amp;");
    EXPECT_EQ(xml_text("&&&", 2), "&amp;&amp;\xE2\x80\xA6");
}

// The chart of `rows` tallied over `trees` trees of a report: every share is taken of them all.
std::string chart(std::vector<PairSummary> rows, std::size_t trees, double threshold = 70,
                  bool first_sister_only = false) {
    for (PairSummary& row : rows)
        row.share_of = trees;
    std::ostringstream out;
    summary::write_svg(out, rows,
                       summary::ChartFacts{trees, trees - 1, threshold, first_sister_only, ""});
    return out.str();
}

PairSummary pair(const std::string& target, const std::string& sister, std::size_t trees,
                 std::size_t supported) {
    return PairSummary{target, sister, trees, supported, true, 80, 0, "", "", trees};
}

TEST(Chart, ThirtyBarsThenOneForTheRestAndTheShadesOfSupport) {
    std::vector<PairSummary> rows;
    for (int i = 0; i < 34; ++i)
        rows.push_back(pair("Choano", "S" + std::to_string(i), 40 - i, 3));
    const std::string svg = chart(rows, 100, 87.5);
    EXPECT_EQ(svg.rfind("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<svg ", 0), 0u);
    EXPECT_NE(svg.find("version=\"1.1\""), std::string::npos);
    EXPECT_NE(svg.find(">S29</text>"), std::string::npos);
    EXPECT_EQ(svg.find(">S30</text>"), std::string::npos);
    EXPECT_NE(svg.find(">other (4 pairs)</text>"), std::string::npos);
    // 10 + 9 + 8 + 7 trees, 4 x 3 supported
    EXPECT_NE(svg.find("34 trees, 12 with support \xE2\x89\xA5 87.5"), std::string::npos);
    EXPECT_EQ(occurrences(svg, "fill=\"#1f5fa8\""), 31u + 1u);  // bars and legend swatch
    EXPECT_NE(svg.find("Sisters of Choano in 100 trees"), std::string::npos);
    EXPECT_NE(svg.find("support below 87.5 or n/a"), std::string::npos);
    EXPECT_EQ(svg.find("<script"), std::string::npos);
    EXPECT_EQ(svg.find("href"), std::string::npos);
}

TEST(Chart, NamesTheTargetsAndEscapesEveryName) {
    const std::string svg =
        chart({pair("A&B", "<x>", 5, 0), pair("C", "y\"'", 4, 4), pair("D", "z", 3, 1),
               pair("E", "w", 2, 1), pair("F", "v", 1, 1)},
              6);
    EXPECT_NE(svg.find("Sisters of A&amp;B, C, D and 2 more targets in 6 trees"),
              std::string::npos);
    EXPECT_NE(svg.find(">&lt;x&gt; (A&amp;B)</text>"), std::string::npos);
    EXPECT_NE(svg.find(">y&quot;&apos; (C)</text>"), std::string::npos);
    EXPECT_EQ(svg.find("<x>"), std::string::npos);
}

// A name can be as long as the report: labels and tooltips show its start only, so the chart
// stays small whatever the names (invalid bytes would triple them).
TEST(Chart, LongNamesAreCutInLabelsAndTooltips) {
    const std::string huge(1 << 20, '\xFF');
    const std::string svg = chart({pair("T" + huge, "S" + huge, 3, 2), pair("U", "V", 1, 1)}, 3);
    EXPECT_LT(svg.size(), 20000u);
    const std::string fffd = "\xEF\xBF\xBD";
    std::string cut_target = "T", cut_sister = "S";
    for (int i = 0; i < 299; ++i) {
        cut_target += fffd;
        cut_sister += fffd;
    }
    EXPECT_NE(svg.find("<title>" + cut_target + "\xE2\x80\xA6 / " + cut_sister +
                       "\xE2\x80\xA6: 3 of 3 trees"),
              std::string::npos);
    EXPECT_NE(svg.find("<title>U / V: 1 of 3 trees (share 0.333)</title>"), std::string::npos);
}

TEST(Chart, TitleSaysHowThePairsWereCounted) {
    const std::vector<PairSummary> rows = {pair("Choano", "Metazoa", 3, 2)};
    EXPECT_NE(chart(rows, 4, 50).find("<title>Sisters of Choano in 4 trees (--min-support 50)<"),
              std::string::npos);
    EXPECT_NE(chart(rows, 4, 0.7, true)
                  .find("<title>First sisters of Choano in 4 trees (--first, --min-support 0.7)<"),
              std::string::npos);
}

// Under --by, one document holds the chart of each group, one under the other, each titled with
// its group.
TEST(Chart, OneChartPerGroupOneUnderTheOther) {
    std::vector<PairSummary> rows = {pair("C", "A", 3, 2), pair("C", "B", 1, 1)};
    rows[1].group = 1;
    const std::vector<summary::ChartPanel> panels = {
        {summary::ChartRows{&rows[0], &rows[1]}, summary::ChartFacts{4, 3, 70, false, "label a"}},
        {summary::ChartRows{&rows[1], &rows[2]}, summary::ChartFacts{2, 1, 70, false, "label b"}},
    };
    std::ostringstream out;
    summary::write_grouped_svg(out, panels, "Sisters in 6 trees by label");
    const std::string svg = out.str();
    EXPECT_EQ(occurrences(svg, "<?xml"), 1u);
    EXPECT_EQ(occurrences(svg, "<svg "), 3u);
    EXPECT_EQ(occurrences(svg, "</svg>"), 3u);
    EXPECT_NE(svg.find("<title>Sisters in 6 trees by label</title>"), std::string::npos);
    EXPECT_NE(svg.find("<title>Sisters of C in 4 trees, label a (--min-support 70)</title>"),
              std::string::npos);
    EXPECT_NE(svg.find("<title>Sisters of C in 2 trees, label b (--min-support 70)</title>"),
              std::string::npos);
    // The second chart starts where the first ends; the document holds both.
    const std::string first = summary::chart_element(panels[0].rows, panels[0].facts);
    const std::string height = first.substr(first.find("height=\"") + 8);
    EXPECT_NE(svg.find(" x=\"0\" y=\"" + height.substr(0, height.find('"')) + "\""),
              std::string::npos);
}

TEST(Chart, WithoutAnyPairSaysSo) {
    const std::string svg = chart({}, 1);
    EXPECT_NE(svg.find("No tree has a sister."), std::string::npos);
    EXPECT_NE(svg.find("in 1 tree (--min-support 70)<"), std::string::npos);
    EXPECT_EQ(svg.substr(svg.size() - 7), "</svg>\n");
}

}  // namespace

}  // namespace tavrin::summary
