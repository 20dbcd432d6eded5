// The page of --html: links to the pictures by the name rule, relative to the page, escaped;
// the tree rows and the tally escaped; a report without tables gets the tally alone.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "summary/html_page.h"

namespace tavrin::summary {

namespace {

using summary::TreeRecord;

TEST(HtmlPage, FolderLinksAreRelativeToThePageAndEscaped) {
    EXPECT_EQ(summary::folder_href("pics", "page.html"), "pics/");
    EXPECT_EQ(summary::folder_href("out/pics", "out/page.html"), "pics/");
    EXPECT_EQ(summary::folder_href("pics", "out/page.html"), "../pics/");
    EXPECT_EQ(summary::folder_href("my pics#1", "page.html"), "my%20pics%231/");
}

TEST(HtmlPage, RowsLinkTheirPicturesByTheNameRule) {
    namespace fs = std::filesystem;
    const fs::path dir = fs::path(::testing::TempDir()) / "html_page_test_pictures";
    fs::remove_all(dir);
    fs::create_directories(dir);
    for (const char* name : {"000001_all_1.svg", "000002_all_2.svg", "000003_t1.svg"})
        std::ofstream(dir / name) << "<svg/>";
    const std::vector<TreeRecord> trees = {
        {1, "data/all.nwk", "1", "sisters", "Fungi", "", "80", "0"},
        {2, "data/all.nwk", "2", "not-a-clade", "", "", "", "1"},
        {3, "t1.nwk", "1", "sisters", "Metazoa", "Fungi<&>", "n/a", "0"},
        {4, "t3.nwk", "1", "malformed", "", "", "", ""},
    };
    const std::vector<summary::PairSummary> pairs;
    summary::PageContent content;
    content.pairs = &pairs;
    content.tree_count = 4;
    content.closing = "4 trees, 2 with a sister, 2 without (not-a-clade 1, malformed 1)";
    content.table_read = true;
    content.trees = &trees;
    content.pictures = {dir.string(), "pics/"};
    const std::string page = summary::html_page(content);
    for (const char* link :
         {"pics/000001_all_1.svg", "pics/000002_all_2.svg", "pics/000003_t1.svg"})
        EXPECT_NE(page.find(std::string("<a href=\"") + link + "\">"), std::string::npos) << link;
    EXPECT_NE(page.find(">3 of 4 pictures found in "), std::string::npos);
    EXPECT_NE(page.find("data-sister2=\"Fungi&lt;&amp;&gt;\""), std::string::npos);
    EXPECT_NE(page.find("<td class=\"st st-malformed\">malformed</td>"), std::string::npos);
    EXPECT_EQ(page.find("src="), std::string::npos);  // nothing fetched from elsewhere
    fs::remove_all(dir);
}

TEST(HtmlPage, AReportGetsTheTallyAlone) {
    const std::vector<summary::PairSummary> pairs = {{"Choano", "Metazoa", 2, 1, true, 87.5}};
    summary::PageContent content;
    content.pairs = &pairs;
    content.tree_count = 2;
    content.chart_svg = "<?xml version=\"1.0\"?>\n<svg></svg>\n";
    const std::string page = summary::html_page(content);
    EXPECT_NE(page.find("<td>Metazoa</td><td class=\"n\">2</td><td class=\"n\">1.000</td>"),
              std::string::npos);
    EXPECT_NE(page.find("<figure><svg></svg>"), std::string::npos);
    EXPECT_EQ(page.find("<?xml"), std::string::npos);
    EXPECT_EQ(page.find("<script>"), std::string::npos);
}

}  // namespace

}  // namespace tavrin::summary
