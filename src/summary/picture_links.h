// The pictures of Tavrin --draw that belong to the rows of the tables read. A picture is found by
// its name, `<label>_<n>_...svg` (`<n>_...svg` without a label: <n> the row's number in its
// table, six digits at least), and trusted only when the source it records, the text of its
// <metadata> element, is the row's: `<file> TAB <tree> TAB <label>`, file and label with the
// table's escapes, the whole escaped for XML.
#ifndef TAVRIN_SUMMARY_PICTURE_LINKS_H
#define TAVRIN_SUMMARY_PICTURE_LINKS_H

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "summary/tree_table.h"

namespace tavrin::summary {

// The source a picture records.
struct PictureSource {
    std::string file;  // with the table's escapes undone
    std::string tree;
    std::string label;  // with the table's escapes undone
};

// Reads the source recorded in `svg` (its first <metadata> element); false when it records none
// in the form above.
bool picture_source(std::string_view svg, PictureSource& source);

// `text` with XML's character references undone (&amp; &lt; &gt; &quot; &apos;, &#N; and
// &#xN;); anything else is kept as it stands.
std::string xml_decoded(std::string_view text);

struct PictureLinks {
    std::vector<std::string> names;  // for each record, its picture's file name, or empty
    std::size_t linked = 0;          // records with a picture
    std::size_t others = 0;          // pictures in the folder that belong to no record
};

// The pictures of `records` in the folder `dir`. Rows of trees that could not be read
// (malformed, unreadable) never have one. Only regular files are read, never through a link.
PictureLinks find_pictures(const std::string& dir, const std::vector<TreeRecord>& records);

}  // namespace tavrin::summary

#endif
