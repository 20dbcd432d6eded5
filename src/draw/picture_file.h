// The files of --draw: one picture per tree in one folder, named by the run's label, the tree's
// place in the run and its file, each recording which tree it shows.
#ifndef TAVRIN_DRAW_PICTURE_FILE_H
#define TAVRIN_DRAW_PICTURE_FILE_H

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "platform/folder_files.h"

namespace tavrin {

// The longest picture name, in bytes.
constexpr std::size_t kMaxPictureName = 200;

// "<n>_<base>.svg", or "<label>_<n>_<base>.svg" with a label: `number` (the tree's place in the
// run, from 1) zero-padded to six digits, and the file's name without its folders and its last
// extension, every byte outside [A-Za-z0-9._-] written '_'; the `tree`-th tree of a file of
// `several` adds "_<tree>". A base that would make the name longer than kMaxPictureName bytes is
// cut. picture_name("data/g002.nwk", 12, 1, false) is "000012_g002.svg".
std::string picture_name(std::string_view path, std::size_t number, std::size_t tree, bool several,
                         std::string_view label = {});

// `number` zero-padded to six digits, as pictures are numbered: tree_number(12) is "000012".
std::string tree_number(std::size_t number);

// The text of a picture's <metadata> element, as the picture holds it: the row key of its tree,
// `file` TAB `tree` TAB `label` (the file as named on the command line, the tree's number within
// it from 1, the run's label or nothing), file and label with the table's field escapes, the
// whole escaped as XML text (the tabs stay tabs).
std::string picture_source(std::string_view file, std::size_t tree, std::string_view label);

// The text of the first <metadata> element of `svg` as it stands there (still escaped, to be
// compared with picture_source); none when it has none.
std::optional<std::string_view> recorded_source(std::string_view svg);

// The source recorded by the picture `name` in `folder`, when it is a regular file (not a link)
// that records one; as picture_source gives it. Only the picture's start is read.
std::optional<std::string> source_recorded_in(const FolderFiles& folder, const std::string& name);

// Makes the folder `dir`, and the folders above it, when missing. The system's error number,
// or 0 when the folder is there.
int make_picture_folder(const std::string& dir);

// The pictures of one run in their folder: each written whole and renamed over its name (see
// platform/folder_files.h), and the pictures of other trees that were replaced counted.
class PictureFolder {
public:
    explicit PictureFolder(const std::string& dir) : files_(dir) {}

    // The system's error number of opening the folder, or 0.
    int error() const { return files_.error(); }

    // The folder's path followed by `name`, as messages name a picture.
    std::string path_of(std::string_view name) const { return files_.path_of(name); }

    // Writes `svg`, the picture of the tree whose picture_source is `source`, as `name`. 0 when
    // all was written; otherwise the system's error number, or kNotARegularFile for an entry of
    // that name that is a special file, and nothing was replaced.
    int write(const std::string& name, const std::string& svg, std::string_view source);

    // The pictures written over a picture that recorded another source, and the first of them.
    std::size_t replaced_others() const { return replaced_others_; }
    const std::string& first_replaced() const { return first_replaced_; }

private:
    FolderFiles files_;
    std::size_t replaced_others_ = 0;
    std::string first_replaced_;
};

}  // namespace tavrin

#endif  // TAVRIN_DRAW_PICTURE_FILE_H
