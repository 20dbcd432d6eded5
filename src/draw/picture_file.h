// The files of --draw: one picture per tree in one folder, named by the run's label, the tree's
// place in the run, its target and its file, each recording which tree it shows.
#ifndef TAVRIN_DRAW_PICTURE_FILE_H
#define TAVRIN_DRAW_PICTURE_FILE_H

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "platform/folder_files.h"

namespace tavrin {

// The longest picture name, in bytes, and the most of it a target takes.
constexpr std::size_t kMaxPictureName = 200;
constexpr std::size_t kMaxPictureTarget = 60;

// A byte a picture's name holds as it is: a letter, a digit, '.', '_' or '-'.
bool is_name_byte(char c);

// Which tree a picture shows: what its name is made of and what its metadata records.
struct PictureSource {
    std::string_view file;    // as named on the command line
    std::size_t tree = 1;     // its place in its file, from 1
    bool several = false;     // the file holds several trees
    std::string_view target;  // the search prefix (or pattern) as given
    std::string_view label;   // the run's label, or nothing
};

// A picture's file name and its recorded source, both made from its PictureSource here only:
// Tavrin names and stamps its pictures with it, Tavrin-summary finds a row's picture with it.
//
// The name is "[<label>_]<n>_<target>_<base>.svg": `n` (the tree's row in the run, from 1)
// zero-padded to six digits; the target with every byte outside [A-Za-z0-9.-] written %XX
// (upper-case hexadecimal, so '_' and '%' too), cut after kMaxPictureTarget bytes between two
// escapes; the file's name without its folders, a final ".gz" and then one tree extension
// (picture_base), every byte outside [A-Za-z0-9._-] written '_'; the `tree`-th tree of a file of
// `several` adds "_<tree>". A base that would make the name longer than kMaxPictureName bytes is
// cut. The source is `file` TAB `tree` TAB `target` TAB `label`, file, target and label with the
// table's field escapes, the whole escaped as XML text (the tabs stay tabs).
class PictureIdentity {
public:
    explicit PictureIdentity(const PictureSource& source);

    // The text of the picture's <metadata> element.
    const std::string& source() const { return source_; }
    // The picture's file name for the tree of row `number`.
    std::string name(std::size_t number) const;

private:
    std::string label_;
    std::string stem_;  // "<target>_<base>", uncut
    std::string suffix_;
    std::string source_;
};

// A file's name as a picture's name holds it: without its folders and without a final ".gz"
// and then one of the tree extensions .nwk .newick .tre .tree .trees .treefile .contree .nex
// .nexus .t .con.tre .run<N>.t (ASCII letters in any case); other extensions stay, so that
// "RAxML_bipartitions.g01" keeps "g01". A name that is all extension is kept whole.
std::string_view picture_base(std::string_view path);

// The text of the first <metadata> element of `svg` as it stands there (still escaped, to be
// compared with PictureIdentity::source); none when it has none.
std::optional<std::string_view> recorded_source(std::string_view svg);

// The source recorded by the picture `name` in `folder`, when it is a regular file (not a link)
// that records one; as PictureIdentity::source gives it. Only the picture's start is read.
std::optional<std::string> source_recorded_in(const FolderFiles& folder, const std::string& name);

// Makes the folder `dir`, and the folders above it, when missing. The system's error number,
// or 0 when the folder is there.
int make_picture_folder(const std::string& dir);

// The pictures of one run in their folder: each written whole and renamed over its name (see
// platform/folder_files.h), and the pictures of other trees that were replaced counted.
class PictureFolder {
public:
    explicit PictureFolder(const std::string& dir) : files_(dir) {}

    // The folder: its error of opening, and the path by which messages name a picture.
    const FolderFiles& files() const { return files_; }

    // Writes `svg`, the picture of the tree whose recorded source is `source`, as `name`. 0 when
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
