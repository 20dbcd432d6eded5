// The study matrix: each cell's most frequent first sister, its share and the share supported
// at its group's scale; a row per file and target by file; at most kStudyMost rows and columns,
// those with the most trees, the rest counted.
#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "output/table_format.h"
#include "summary/study_matrix.h"

namespace tavrin::summary {

namespace {

// A tree's row as Tavrin writes it, read as the summary reads it.
TreeRecord tree(const std::string& file, const std::string& target, const std::string& label,
                const std::string& sister, double support = 0) {
    std::ostringstream line;
    line << escape_field(file) << "\t1\t" << escape_field(target) << '\t'
         << status_name(sister.empty() ? TreeStatus::kNotAClade : TreeStatus::kSisters) << '\t'
         << escape_field(sister) << "\t\t";
    if (!sister.empty()) line << support;
    line << "\t0\t2\t0\t\tgiven\t\t\t" << escape_field(label);
    TreeRecord record;
    std::string problem;
    EXPECT_TRUE(
        parse_tree_table_row(line.str(), *TableLayout::of_header(table_header()), record, problem))
        << problem;
    return record;
}

std::size_t count(const std::string& text, const std::string& part) {
    std::size_t n = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++n;
    return n;
}

const auto kFractionsFor = [](const std::string& fraction_label) {
    return [fraction_label](std::string_view label, std::string_view, std::string_view) {
        return label == fraction_label;
    };
};

TEST(StudyMatrix, CellsNameTheMostFrequentFirstSisterAtTheirScale) {
    StudyMatrix matrix(false, 70, 0.7);
    // raxml, Bryo: Lyco 3 of 4 trees (two at 70 or more), Gymno 1; mrbayes on the 0-1 scale.
    for (const double support : {90.0, 70.0, 50.0})
        matrix.add(tree("g.nwk", "Bryo", "raxml", "Lyco", support));
    matrix.add(tree("g.nwk", "Bryo", "raxml", "Gymno", 99));
    matrix.add(tree("g.t", "Bryo", "mrbayes", "Lyco", 0.95));
    matrix.add(tree("g.t", "Bryo", "mrbayes", "Gymno", 0.99));  // a tie: the first name wins
    matrix.add(tree("g.nwk", "Lyco", "raxml", ""));             // no sister at all
    ASSERT_TRUE(matrix.shown());
    const std::string html = matrix.html(kFractionsFor("mrbayes"));
    EXPECT_NE(html.find("<th>target \\ label</th><th>raxml</th><th>mrbayes</th>"),
              std::string::npos);
    EXPECT_NE(html.find("data-target=\"Bryo\" data-label=\"raxml\""), std::string::npos);
    EXPECT_NE(html.find("<span class=\"sis\">Lyco</span> 0.750<br><small>supported 0.667 at 70"),
              std::string::npos);
    EXPECT_NE(html.find("<span class=\"sis\">Gymno</span> 0.500<br><small>supported 1.000 at "
                        "0.7"),
              std::string::npos);
    EXPECT_NE(html.find("title=\"1 tree\"><span class=\"sis\">no sister</span>"),
              std::string::npos);
    EXPECT_EQ(count(html, "<td data-target="), 3u);  // Lyco has no mrbayes tree: an empty cell
    EXPECT_EQ(count(html, "<td></td>"), 1u);
    EXPECT_EQ(html.find("study-more"), std::string::npos);
}

TEST(StudyMatrix, ShownForSeveralLabelsTargetsOrFilesByFile) {
    struct Case {
        bool by_file;
        std::vector<TreeRecord> trees;
        bool shown;
    };
    const Case cases[] = {
        {false, {tree("a", "T", "x", "S"), tree("b", "T", "x", "S")}, false},
        {false, {tree("a", "T", "x", "S"), tree("a", "U", "x", "S")}, true},
        {false, {tree("a", "T", "x", "S"), tree("a", "T", "y", "S")}, true},
        {true, {tree("a", "T", "x", "S"), tree("b", "T", "x", "S")}, true},
        {true, {tree("a", "T", "x", "S"), tree("a", "T", "x", "U")}, false},
    };
    for (const Case& c : cases) {
        StudyMatrix matrix(c.by_file, 70, 70);
        for (const TreeRecord& record : c.trees)
            matrix.add(record);
        EXPECT_EQ(matrix.shown(), c.shown);
    }
    StudyMatrix by_file(true, 70, 70);
    by_file.add(tree("g01.run1.t", "Bryo", "", "Lyco", 0.9));
    by_file.add(tree("g02.run1.t", "Bryo", "", "Gymno", 0.9));
    // A cell filters the trees by the fields as the table wrote them, escapes in place, which is
    // how the page lists the trees: a pattern's backslash, a tab in a file name.
    by_file.add(tree("dir\\g\t1.nwk", "^Fung\\w", "b\\c", "Lyco", 90));
    const std::string html = by_file.html(kFractionsFor(""));
    EXPECT_NE(html.find("<tr><th>g02.run1.t</th><th>Bryo</th><td data-target=\"Bryo\" "
                        "data-label=\"\" data-file=\"g02.run1.t\""),
              std::string::npos);
    EXPECT_NE(html.find("<th>(none)</th>"), std::string::npos);
    EXPECT_NE(html.find("<td data-target=\"^Fung\\\\w\" data-label=\"b\\\\c\" "
                        "data-file=\"dir\\\\g\\t1.nwk\""),
              std::string::npos)
        << html;
    EXPECT_NE(html.find("<th>^Fung\\w</th>"), std::string::npos);  // shown as the name it is
}

// Past kStudyMost rows or columns, those with the most trees are shown, in the order they came,
// and the others counted.
TEST(StudyMatrix, BoundedToTheRowsAndColumnsWithTheMostTrees) {
    StudyMatrix matrix(false, 70, 70);
    const std::size_t extra = 5;
    for (std::size_t i = 0; i < kStudyMost + extra; ++i) {
        // Targets T0..T204: the first `extra` have one tree, the others two.
        for (std::size_t k = 0; k < (i < extra ? 1 : 2); ++k)
            matrix.add(tree("g", "T" + std::to_string(i), "L" + std::to_string(i % 3), "S"));
    }
    // Labels L0 to L2, and 201 more labels of one tree each on target T5.
    for (std::size_t i = 0; i <= kStudyMost; ++i)
        matrix.add(tree("g", "T5", "M" + std::to_string(i), "S"));
    const std::string html = matrix.html(kFractionsFor(""));
    EXPECT_EQ(count(html, "<tr><th>T"), kStudyMost);
    EXPECT_EQ(html.find("<th>T0</th>"), std::string::npos);
    EXPECT_EQ(html.find("<th>T4</th>"), std::string::npos);
    EXPECT_LT(html.find("<th>T5</th>"), html.find("<th>T6</th>"));
    EXPECT_NE(html.find("<th>L2</th>"), std::string::npos);
    EXPECT_NE(html.find("5 more rows and 4 more columns not shown"), std::string::npos);
    EXPECT_LE(count(html, "<td"), kStudyMost * kStudyMost);
}

}  // namespace

}  // namespace tavrin::summary
