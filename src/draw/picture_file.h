// The files of --draw: one picture per tree in one folder, named by the tree's place in the run
// and its file.
#ifndef TAVRIN_DRAW_PICTURE_FILE_H
#define TAVRIN_DRAW_PICTURE_FILE_H

#include <cstddef>
#include <string>
#include <string_view>

namespace tavrin {

// "<n>_<base>.svg": `number` (the tree's place in the run, from 1) zero-padded to six digits,
// and the file's name without its folders and its last extension, every byte outside
// [A-Za-z0-9._-] written '_'; the `tree`-th tree of a file of `several` adds "_<tree>".
// picture_name("data/g002.nwk", 12, 1, false) is "000012_g002.svg".
std::string picture_name(std::string_view path, std::size_t number, std::size_t tree, bool several);

// `number` zero-padded to six digits, as pictures are numbered: tree_number(12) is "000012".
std::string tree_number(std::size_t number);

// Makes the folder `dir`, and the folders above it, when missing. The system's error number,
// or 0 when the folder is there.
int make_picture_folder(const std::string& dir);

// Writes `svg` to `path`, replacing any file of that name. The system's error number of a
// failure, after the partly written file is removed; 0 when all was written.
int write_picture(const std::string& path, const std::string& svg);

}  // namespace tavrin

#endif  // TAVRIN_DRAW_PICTURE_FILE_H
