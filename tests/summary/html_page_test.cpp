// The page of --html: links relative to the page as given; the rows written once as text that
// holds no markup; a row linked only to the picture that records its own source, found by its
// label and number; the counts of rows without a picture and of pictures of other rows.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "draw/picture_file.h"
#include "output/table_format.h"
#include "summary/html_page.h"
#include "summary/picture_links.h"

namespace tavrin::summary {

namespace {

namespace fs = std::filesystem;

// A table row: file, tree, target, status, sisters, support, label; the rest as Tavrin fills it.
std::string table_line(const std::string& file, const std::string& tree, const std::string& status,
                       const std::string& sister1 = "", const std::string& sister2 = "",
                       const std::string& label = "", const std::string& target = "Choano") {
    const bool sisters = !sister1.empty();
    return file + "\t" + tree + "\t" + target + "\t" + status + "\t" + sister1 + "\t" + sister2 +
           "\t" + (sisters ? "80" : "") + "\t0\t2\t0\t\tgiven\t\t\t" + label;
}

// A picture of Tavrin --draw as far as the page reads it: its recorded source.
void write_picture(const fs::path& dir, const std::string& name, const std::string& file,
                   std::size_t tree, const std::string& label = "") {
    std::ofstream(dir / name) << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                                 "<svg xmlns=\"http://www.w3.org/2000/svg\">\n<metadata>"
                              << picture_source(file, tree, label)
                              << "</metadata>\n<title>a tree</title>\n</svg>\n";
}

// A fresh folder under the test's temporary folder, removed afterwards.
class Folder {
public:
    explicit Folder(const char* name) : path_(fs::path(::testing::TempDir()) / name) {
        fs::remove_all(path_);
        fs::create_directories(path_);
    }
    ~Folder() { fs::remove_all(path_); }
    const fs::path& path() const { return path_; }

private:
    fs::path path_;
};

std::string page_of(const std::vector<TreeRecord>& trees, const std::string& pictures = "") {
    PageContent content;
    content.tree_count = trees.size();
    content.targets = {"Choano"};
    content.closing = "closing";
    content.groups.push_back(PageGroup{"", ChartRows{}, "<svg></svg>"});
    content.table_read = true;
    content.trees = &trees;
    content.table_width = kColumnCount;
    content.pictures = {pictures, "pics/"};
    return html_page(content);
}

// The lines of the page's row text, under its line of column names.
std::vector<std::string> data_lines(const std::string& page) {
    const std::size_t start = page.find("<pre id=\"tree-data\" hidden>");
    const std::size_t end = page.find("</pre>", start);
    std::vector<std::string> lines;
    if (start == std::string::npos || end == std::string::npos) return lines;
    std::string text = page.substr(start, end - start);
    text = text.substr(text.find('>') + 1);
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t next = text.find('\n', at);
        lines.push_back(text.substr(at, next - at));
        at = next == std::string::npos ? text.size() : next + 1;
    }
    return lines;
}

// A row's number and picture: its text up to the second tab.
std::string number_and_picture(const std::string& line) {
    return line.substr(0, line.find('\t', line.find('\t') + 1));
}

TEST(HtmlPage, FolderLinksAreRelativeToThePageAsGiven) {
    EXPECT_EQ(folder_href("pics", "page.html"), "pics/");
    EXPECT_EQ(folder_href("out/pics", "out/page.html"), "pics/");
    EXPECT_EQ(folder_href("pics", "out/page.html"), "../pics/");
    EXPECT_EQ(folder_href("./out/../pics/", "./page.html"), "pics/");
    EXPECT_EQ(folder_href("my pics#1", "page.html"), "my%20pics%231/");
    // A page in a linked folder: the browser takes its address as given, and so does the link.
    const Folder folder("html_page_linked_folder");
    fs::create_directories(folder.path() / "a" / "b" / "c");
    fs::create_directory_symlink(folder.path() / "a" / "b" / "c", folder.path() / "link");
    EXPECT_EQ(folder_href((folder.path() / "pics").string(),
                          (folder.path() / "link" / "page.html").string()),
              "../pics/");
}

TEST(HtmlPage, RowsAreTextForTheScriptAndHoldNoMarkup) {
    const std::vector<TreeRecord> trees = {
        {1, table_line("a<script>.nwk", "1", "sisters", "Fungi<&>", "", "run\\t1")},
        {2, table_line("b.nwk", "1", "malformed")},
        {3, table_line("c\xFF.nwk", "2", "not-a-clade")},
    };
    const std::string page = page_of(trees);
    const std::vector<std::string> lines = data_lines(page);
    ASSERT_EQ(lines.size(), 4u);
    // The columns every table has, then the label column its rows fill; root is filled too.
    EXPECT_EQ(lines[0],
              "#\tfile\ttree\ttarget\tstatus\tsister1\tsister2\tsupport\toutliers\troot\tlabel");
    EXPECT_EQ(lines[1],
              "1\ta&lt;script&gt;.nwk\t1\tChoano\tsisters\tFungi&lt;&amp;&gt;\t\t80\t0\tgiven\t"
              "run\\t1");
    EXPECT_EQ(lines[3], "3\tc\xEF\xBF\xBD.nwk\t2\tChoano\tnot-a-clade\t\t\t\t0\tgiven\t");
    EXPECT_EQ(page.find("<script>.nwk"), std::string::npos);
    // One script, the page's own; nothing fetched from elsewhere.
    EXPECT_EQ(page.find("<script"), page.rfind("<script"));
    EXPECT_EQ(page.find("src="), std::string::npos);
    EXPECT_NE(page.find("<select name=\"label\" data-columns=\"label\">"), std::string::npos);
    // The title names the targets; the legend says what each status means, one line each.
    EXPECT_NE(page.find("<h1>Tavrin summary: Choano in 3 trees</h1>"), std::string::npos);
    for (std::size_t i = 0; i < kTreeStatusCount; ++i) {
        const std::string name = status_name(static_cast<TreeStatus>(i));
        EXPECT_NE(page.find("<li><span class=\"st st-" + name + "\">" + name + "</span>"),
                  std::string::npos)
            << name;
        EXPECT_NE(page.find(".st-" + name + "{color:"), std::string::npos) << name;
    }
}

TEST(HtmlPage, TwoLabelledRunsInOneFolderLinkEachRowToItsOwnPicture) {
    const Folder pictures("html_page_two_runs");
    for (const std::string label : {"fast", "iq"}) {
        write_picture(pictures.path(), label + "_000001_g1.svg", "g/g1.nwk", 1, label);
        // A long base is cut in the name: the picture is found by its name's start.
        write_picture(pictures.path(), label + "_000002_a_long_na.svg", "g/a long name.nwk", 1,
                      label);
    }
    // Numbers restart at each table: each label's rows are 1 and 2.
    std::vector<TreeRecord> trees;
    for (const std::string label : {"iq", "fast"}) {
        trees.push_back({1, table_line("g/g1.nwk", "1", "sisters", "Fungi", "", label)});
        trees.push_back({2, table_line("g/a long name.nwk", "1", "unnamed", "", "", label)});
    }
    const std::string page = page_of(trees, pictures.path().string());
    const std::vector<std::string> lines = data_lines(page);
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(number_and_picture(lines[0]), "#\tpicture");
    EXPECT_EQ(number_and_picture(lines[1]), "1\tiq_000001_g1.svg");
    EXPECT_EQ(number_and_picture(lines[2]), "2\tiq_000002_a_long_na.svg");
    EXPECT_EQ(number_and_picture(lines[3]), "1\tfast_000001_g1.svg");
    EXPECT_EQ(number_and_picture(lines[4]), "2\tfast_000002_a_long_na.svg");
    EXPECT_NE(page.find(": 4 of 4 trees linked to their own picture, 0 without one; 0 pictures "
                        "there belong to other trees."),
              std::string::npos);
    EXPECT_NE(page.find("data-folder=\"pics/\""), std::string::npos);
}

TEST(HtmlPage, OnlyPicturesThatRecordTheRowAreLinked) {
    const Folder pictures("html_page_true_pictures");
    const fs::path& dir = pictures.path();
    write_picture(dir, "000001_g1.svg", "old/g1.nwk", 1);  // a stale run's picture
    write_picture(dir, "000002_g2.svg", "g/g2.nwk", 1);    // of a malformed row
    std::ofstream(dir / "000003_g3.svg") << "<svg><title>g3</title></svg>";  // records nothing
    write_picture(dir, "000004_all_2.svg", "g/all.nwk", 3);   // another tree of the file
    write_picture(dir, "000005_g5.svg", "g/g5.nwk", 1, "x");  // another run's label
    write_picture(dir, "000006_g6.svg", "g/g6.nwk", 1);       // the one true picture
    // A link is never followed, even to the row's own picture.
    write_picture(dir / "..", "outside.svg", "g/g7.nwk", 1);
    fs::create_symlink(dir / ".." / "outside.svg", dir / "000007_g7.svg");
    const std::vector<TreeRecord> trees = {
        {1, table_line("g/g1.nwk", "1", "sisters", "Fungi")},
        {2, table_line("g/g2.nwk", "1", "malformed")},
        {3, table_line("g/g3.nwk", "1", "no-target")},
        {4, table_line("g/all.nwk", "2", "whole-tree")},
        {5, table_line("g/g5.nwk", "1", "sisters", "Fungi")},
        {6, table_line("g/g6.nwk", "1", "sisters", "Fungi")},
        {7, table_line("g/g7.nwk", "1", "sisters", "Fungi")},
    };
    const std::string page = page_of(trees, dir.string());
    const std::vector<std::string> lines = data_lines(page);
    ASSERT_EQ(lines.size(), 8u);
    for (std::size_t row = 1; row <= 7; ++row) {
        const std::string expected = row == 6 ? "000006_g6.svg" : "";
        EXPECT_EQ(number_and_picture(lines[row]), std::to_string(row) + "\t" + expected);
    }
    EXPECT_NE(page.find(": 1 of 7 trees linked to their own picture, 6 without one; 5 pictures "
                        "there belong to other trees."),
              std::string::npos);
    fs::remove(dir / ".." / "outside.svg");
}

// A row's file and label as the table escapes them (standard mode writes control bytes as \xHH)
// match a picture that recorded them as read from the command line.
TEST(HtmlPage, EscapedNamesFindTheirPicture) {
    const Folder pictures("html_page_escaped_names");
    write_picture(pictures.path(), "iq-1_000001_a_b_c_.svg", "d/a,b&c<\t>\x1b.nwk", 12, "iq-1");
    write_picture(pictures.path(), "000002_x.svg", "x\\y.nwk", 1);
    const std::vector<TreeRecord> trees = {
        {1, table_line("d/a,b&c<\\t>\\x1b.nwk", "12", "sisters", "Fungi", "", "iq-1")},
        {2, table_line("x\\\\y.nwk", "1", "no-target")},
    };
    const std::vector<std::string> lines = data_lines(page_of(trees, pictures.path().string()));
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(number_and_picture(lines[1]), "1\tiq-1_000001_a_b_c_.svg");
    EXPECT_EQ(number_and_picture(lines[2]), "2\t000002_x.svg");
}

TEST(HtmlPage, GroupsAndTheTreesNotListed) {
    const std::vector<PairSummary> pairs = {{"Choano", "Metazoa", 2, 1, true, 87.5, 0, "a", 4},
                                            {"Choano", "Fungi", 1, 1, true, 0.9, 1, "b", 2}};
    const std::vector<TreeRecord> trees = {{1, table_line("t.nwk", "1", "sisters", "Fungi")}};
    PageContent content;
    content.tree_count = 6;
    content.targets = {"Choano"};
    content.labels = {"a", "b"};
    content.with_label = true;
    content.groups.push_back(PageGroup{"label a", ChartRows{&pairs[0], &pairs[1]}, "<svg></svg>"});
    content.groups.push_back(PageGroup{"label b", ChartRows{&pairs[1], &pairs[2]}, "<svg></svg>"});
    content.table_read = true;
    content.trees = &trees;
    content.trees_not_listed = 5;
    const std::string page = html_page(content);
    EXPECT_NE(page.find("<h1>Tavrin summary: Choano in 6 trees, labels a and b</h1>"),
              std::string::npos);
    EXPECT_NE(page.find("<h3>label a</h3>\n<div class=\"group\"><table class=\"tally\"><thead><tr>"
                        "<th>label</th>"),
              std::string::npos);
    EXPECT_NE(page.find("<td>b</td><td>Choano</td><td>Fungi</td><td class=\"n\">1</td><td "
                        "class=\"n\">0.500</td>"),
              std::string::npos);
    EXPECT_NE(page.find("The tables hold 5 more trees, not listed here: the page lists the first "
                        "100000."),
              std::string::npos);
}

TEST(HtmlPage, AReportGetsTheTallyAlone) {
    const std::vector<PairSummary> pairs = {{"Choano", "Metazoa", 2, 1, true, 87.5, 0, "", 2}};
    PageContent content;
    content.tree_count = 2;
    content.groups.push_back(PageGroup{"", all_rows(pairs), "<svg></svg>\n"});
    const std::string page = html_page(content);
    EXPECT_NE(page.find("<td>Metazoa</td><td class=\"n\">2</td><td class=\"n\">1.000</td>"),
              std::string::npos);
    EXPECT_NE(page.find("<figure><svg></svg>"), std::string::npos);
    EXPECT_EQ(page.find("<?xml"), std::string::npos);
    EXPECT_EQ(page.find("<script>"), std::string::npos);
    EXPECT_EQ(page.find("<h3>"), std::string::npos);
}

}  // namespace

}  // namespace tavrin::summary
