// The pictures of Tavrin --draw that belong to the rows of the tables read. A picture is found by
// the name Tavrin gives the picture of the row's tree (draw/picture_file.h: its label, its number
// in its table, its target and file), and trusted only when the source it records is the row's
// file, tree, target and label; a picture recording anything else (one of an earlier version,
// without a target) is never linked.
#ifndef TAVRIN_SUMMARY_PICTURE_LINKS_H
#define TAVRIN_SUMMARY_PICTURE_LINKS_H

#include <cstddef>
#include <string>
#include <vector>

#include "summary/tree_table.h"

namespace tavrin::summary {

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
