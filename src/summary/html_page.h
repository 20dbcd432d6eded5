// The batch on one self-contained HTML page: the tally and its chart, the closing count, and
// for per-tree tables one row per tree, coloured by status, with a filter by status and by
// sister and a link to each tree's picture. Nothing is fetched from elsewhere: the chart is
// inline, and the filter is a few lines of plain JavaScript that also reads the address's
// fragment or query (`page.html#status=not-a-clade&sister=Fungi`). Without JavaScript every row
// shows.
#ifndef TAVRIN_SUMMARY_HTML_PAGE_H
#define TAVRIN_SUMMARY_HTML_PAGE_H

#include <cstddef>
#include <string>
#include <vector>

#include "summary/tally.h"
#include "summary/tree_table.h"

namespace tavrin::summary {

// Where the pictures of Tavrin --draw are, for the page's links.
struct PictureFolder {
    std::string path;  // as given; empty when no folder was named
    std::string href;  // the folder relative to the page's folder, written for a link
};

// The folder `dir` as a link from a page written at `page`: relative when both are on one
// system path, each byte outside the unreserved ones and '/' percent-encoded.
std::string folder_href(const std::string& dir, const std::string& page);

struct PageContent {
    const std::vector<PairSummary>* pairs = nullptr;
    std::size_t tree_count = 0;
    std::string chart_svg;  // the chart's document
    std::string closing;    // the closing count, without its line break
    bool table_read = false;
    const std::vector<TreeRecord>* trees = nullptr;  // the rows of the tables read
    PictureFolder pictures;
};

// The page's document.
std::string html_page(const PageContent& content);

}  // namespace tavrin::summary

#endif
