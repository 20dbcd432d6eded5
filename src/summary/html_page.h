// The batch on one self-contained HTML page: a title naming the targets and labels, the closing
// count, the tally and its chart (one of each per group under --by), and for per-tree tables a
// status legend and the trees, one row each, with filters by status, sister, target and label
// and a link to each tree's own picture. Nothing is fetched from elsewhere: the charts are
// inline, and the rows are written once, as tab-separated text, which a few lines of plain
// JavaScript turn into a table shown a page of rows at a time and filtered by the menus or the
// address's fragment or query (`page.html#status=not-a-clade&sister=Fungi`). Without
// JavaScript the rows show as that text.
#ifndef TAVRIN_SUMMARY_HTML_PAGE_H
#define TAVRIN_SUMMARY_HTML_PAGE_H

#include <cstddef>
#include <string>
#include <vector>

#include "summary/picture_links.h"
#include "summary/svg_chart.h"
#include "summary/tally.h"
#include "summary/tree_table.h"

namespace tavrin::summary {

// The trees a page lists at most; it says how many more the tables hold.
constexpr std::size_t kPageRows = 100000;

// Where the pictures of Tavrin --draw are, for the page's links.
struct LinkedPictures {
    std::string path;  // as given; empty when no folder was named
    std::string href;  // the folder relative to the page's folder, written for a link
};

// The folder `dir` as a link from a page written at `page`: relative to the page's folder, both
// taken as given (made absolute and normalised by their text alone, never through the links on
// the way, as a browser takes the page's address), each byte outside the unreserved ones and
// '/' percent-encoded.
std::string folder_href(const std::string& dir, const std::string& page);

// One group of the tally (all of it without --by).
struct PageGroup {
    std::string name;     // as the closing count names it; empty without --by
    std::string warning;  // what the support values of the group call for, or nothing
    ChartRows pairs;
    std::string chart;        // its chart, an <svg> element; empty for a table only
    double min_support = 70;  // the threshold its trees got
};

struct PageContent {
    std::size_t tree_count = 0;
    std::vector<std::string> targets;  // named in the title, in the order they came
    std::vector<std::string> labels;   // the same, the empty label left out
    std::string closing;               // the closing count, its lines without the last break
    Grouping grouping;                 // the tally's label and file columns (--by)
    std::string study;                 // the study matrix (StudyMatrix::html), or nothing
    std::vector<PageGroup> groups;
    bool table_read = false;
    const std::vector<TreeRecord>* trees = nullptr;  // the rows of the tables read
    std::size_t trees_not_listed = 0;                // rows past kPageRows
    std::size_t table_width = 0;                     // the columns of the widest table read
    LinkedPictures pictures;
};

// The page's document.
std::string html_page(const PageContent& content);

}  // namespace tavrin::summary

#endif
