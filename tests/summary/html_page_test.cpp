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
void write_picture(const fs::path& dir, const std::string& name, const std::string& source) {
    std::ofstream(dir / name) << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                                 "<svg xmlns=\"http://www.w3.org/2000/svg\">\n<metadata>"
                              << source << "</metadata>\n<title>a tree</title>\n</svg>\n";
}

// The row of `line`, read as the summary reads it, as row `row` of its table.
TreeRecord record(std::size_t row, const std::string& line) {
    TreeRecord record;
    std::string problem;
    EXPECT_TRUE(
        parse_tree_table_row(line, *TableLayout::of_header(table_header()), record, problem))
        << problem;
    record.row = row;
    return record;
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
    content.groups.push_back(PageGroup{"", "", ChartRows{}, "<svg></svg>", 70});
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
        record(1, table_line("a<script>.nwk", "1", "sisters", "Fungi<&>", "", "run\\t1")),
        record(2, table_line("b.nwk", "1", "malformed")),
        record(3, table_line("c\xFF.nwk", "2", "not-a-clade")),
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

// Runs of two labels and two targets in one folder: each row is linked to its own picture,
// found by its name, never to another target's of the same number and file.
TEST(HtmlPage, RunsOfSeveralLabelsAndTargetsLinkEachRowToItsOwnPicture) {
    const Folder pictures("html_page_two_runs");
    std::vector<TreeRecord> trees;
    std::vector<std::string> expected;
    for (const std::string label : {"iq", "fast"}) {
        // Numbers restart at each table: each table's rows are 1 to 4.
        std::size_t row = 0;
        for (const std::string target : {"Bryo", "Lyco"}) {
            for (const std::string file : {"g/g1.nwk", "g/a long name.nwk"}) {
                const PictureIdentity identity({file, 1, false, target, label});
                write_picture(pictures.path(), identity.name(++row), identity.source());
                trees.push_back(
                    record(row, table_line(file, "1", "sisters", "Fungi", "", label, target)));
                expected.push_back(std::to_string(row) + "\t" + identity.name(row));
            }
        }
    }
    const std::string page = page_of(trees, pictures.path().string());
    const std::vector<std::string> lines = data_lines(page);
    ASSERT_EQ(lines.size(), 9u);
    EXPECT_EQ(number_and_picture(lines[0]), "#\tpicture");
    EXPECT_EQ(number_and_picture(lines[1]), "1\tiq_000001_Bryo_g1.svg");
    EXPECT_EQ(number_and_picture(lines[4]), "4\tiq_000004_Lyco_a_long_name.svg");
    for (std::size_t i = 0; i < expected.size(); ++i)
        EXPECT_EQ(number_and_picture(lines[i + 1]), expected[i]);
    EXPECT_NE(page.find(": 8 of 8 trees linked to their own picture, 0 without one; 0 pictures "
                        "there belong to other trees."),
              std::string::npos);
    EXPECT_NE(page.find("data-folder=\"pics/\""), std::string::npos);
}

// A picture under the row's name is linked only when it records the row's file, tree, target
// and label: one of an earlier run (no target recorded), of another target, label, tree or file
// is not, nor one that records nothing or is reached through a link.
TEST(HtmlPage, OnlyPicturesThatRecordTheRowAreLinked) {
    const Folder pictures("html_page_true_pictures");
    const fs::path& dir = pictures.path();
    struct Case {
        const char* why;
        const char* file;      // the row's
        const char* recorded;  // what the picture under the row's name records
        bool linked;
    };
    const Case cases[] = {
        {"the true picture", "g/g1.nwk", "g/g1.nwk\t1\tChoano\t", true},
        {"an earlier version's, without a target", "g/g2.nwk", "g/g2.nwk\t1\t", false},
        {"another target's", "g/g3.nwk", "g/g3.nwk\t1\tFungi\t", false},
        {"another label's", "g/g4.nwk", "g/g4.nwk\t1\tChoano\tx", false},
        {"another tree's", "g/g5.nwk", "g/g5.nwk\t2\tChoano\t", false},
        {"another file's", "g/g6.nwk", "old/g6.nwk\t1\tChoano\t", false},
        {"the target in the label's place", "g/g7.nwk", "g/g7.nwk\t1\t\tChoano", false},
        {"records nothing", "g/g8.nwk", nullptr, false},
    };
    std::vector<TreeRecord> trees;
    for (const Case& c : cases) {
        const std::size_t row = trees.size() + 1;
        const std::string name = PictureIdentity({c.file, 1, false, "Choano", ""}).name(row);
        if (c.recorded != nullptr) {
            write_picture(dir, name, c.recorded);
        } else {
            std::ofstream(dir / name) << "<svg><title>g</title></svg>";
        }
        trees.push_back(record(row, table_line(c.file, "1", "sisters", "Fungi")));
    }
    // A malformed row never has a picture, even one recording its source.
    trees.push_back(record(trees.size() + 1, table_line("g/m.nwk", "1", "malformed")));
    write_picture(dir, PictureIdentity({"g/m.nwk", 1, false, "Choano", ""}).name(trees.size()),
                  "g/m.nwk\t1\tChoano\t");
    // A link is never followed, even to the row's own picture.
    trees.push_back(record(trees.size() + 1, table_line("g/l.nwk", "1", "sisters", "Fungi")));
    write_picture(dir / "..", "outside.svg", "g/l.nwk\t1\tChoano\t");
    fs::create_symlink(
        dir / ".." / "outside.svg",
        dir / PictureIdentity({"g/l.nwk", 1, false, "Choano", ""}).name(trees.size()));
    const std::string page = page_of(trees, dir.string());
    const std::vector<std::string> lines = data_lines(page);
    ASSERT_EQ(lines.size(), trees.size() + 1);
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const std::string picture = number_and_picture(lines[i + 1]);
        EXPECT_EQ(picture.size() > std::to_string(i + 1).size() + 1, cases[i].linked)
            << cases[i].why << ": " << picture;
    }
    EXPECT_EQ(number_and_picture(lines[9]), "9\t");
    EXPECT_EQ(number_and_picture(lines[10]), "10\t");
    EXPECT_NE(page.find(": 1 of 10 trees linked to their own picture, 9 without one; 8 pictures "
                        "there belong to other trees."),
              std::string::npos);
    fs::remove(dir / ".." / "outside.svg");
}

// A row's file and label as the table escapes them (standard mode writes control bytes as \xHH)
// match a picture that recorded them as read from the command line; the first tree of a file of
// several is found under its name with the tree's number.
TEST(HtmlPage, EscapedNamesFindTheirPicture) {
    const Folder pictures("html_page_escaped_names");
    const PictureIdentity first({"d/a,b&c<\t>\x1b.nwk", 12, true, "Cho ano", "iq-1"});
    const PictureIdentity second({"x\\y.nwk", 1, true, "C", ""});
    write_picture(pictures.path(), first.name(1), first.source());
    write_picture(pictures.path(), second.name(2), second.source());
    const std::vector<TreeRecord> trees = {
        record(1, table_line("d/a,b&c<\\t>\\x1b.nwk", "12", "sisters", "Fungi", "", "iq-1",
                             "Cho ano")),
        record(2, table_line("x\\\\y.nwk", "1", "no-target", "", "", "", "C")),
    };
    const std::vector<std::string> lines = data_lines(page_of(trees, pictures.path().string()));
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(number_and_picture(lines[1]), "1\tiq-1_000001_Cho%2520ano_a_b_c_____12.svg");
    EXPECT_EQ(number_and_picture(lines[2]), "2\t000002_C_x_y_1.svg");
}

TEST(HtmlPage, GroupsAndTheTreesNotListed) {
    const std::vector<PairSummary> pairs = {{"Choano", "Metazoa", 2, 1, true, 87.5, 0, "a", "", 4},
                                            {"Choano", "Fungi", 1, 1, true, 0.9, 1, "b", "", 2}};
    const std::vector<TreeRecord> trees = {record(1, table_line("t.nwk", "1", "sisters", "Fungi"))};
    PageContent content;
    content.tree_count = 6;
    content.targets = {"Choano"};
    content.labels = {"a", "b"};
    content.grouping.by_label = true;
    content.groups.push_back(
        PageGroup{"label a", "", ChartRows{&pairs[0], &pairs[1]}, "<svg></svg>", 70});
    content.groups.push_back(PageGroup{"label b", "Warning: fractions",
                                       ChartRows{&pairs[1], &pairs[2]}, "<svg></svg>", 0.7});
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
    // Each group's threshold, and its warning beside it.
    EXPECT_NE(page.find("<th>supported (&#8805; 70)</th>"), std::string::npos);
    EXPECT_NE(page.find("<h3>label b</h3>\n<p class=\"warning\">Warning: fractions</p>\n"
                        "<div class=\"group\">"),
              std::string::npos);
    EXPECT_NE(page.find("<th>supported (&#8805; 0.7)</th>"), std::string::npos);
    EXPECT_NE(page.find("The tables hold 5 more trees, not listed here: the page lists the first "
                        "100000."),
              std::string::npos);
}

TEST(HtmlPage, AReportGetsTheTallyAlone) {
    const std::vector<PairSummary> pairs = {{"Choano", "Metazoa", 2, 1, true, 87.5, 0, "", "", 2}};
    PageContent content;
    content.tree_count = 2;
    content.groups.push_back(PageGroup{"", "", all_rows(pairs), "<svg></svg>\n", 70});
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
