// The driver's warnings: a run that would end well and answer something else than its user meant
// says so on standard error, each warning on one line beginning "Warning: ".
#ifndef TAVRIN_DRIVER_WARNINGS_H
#define TAVRIN_DRIVER_WARNINGS_H

#include <cstddef>
#include <ostream>
#include <string>
#include <string_view>

#include "draw/picture_file.h"
#include "driver/options.h"

namespace tavrin {

// A search prefix that begins with '-' is most likely an option misspelled, which the classic
// shapes of the command line take as the target. Written before the first file is read.
void warn_of_prefix_like_option(std::ostream& err, const std::string& prefix);

// Whether a tree file's text, read in the classic dialect, holds a ';' followed by anything but
// blanks (space, tab, carriage return, line feed): a file of several trees, which that dialect
// reads as one.
bool holds_several_trees(std::string_view text);

// "<path> holds several trees; read it with --standard-newick".
void warn_of_several_trees(std::ostream& err, const std::string& path);

// Once per run, after the last picture: "--draw <dir>: <picture> held a picture of another
// file; replaced", with the count when several were.
void warn_of_replaced_pictures(std::ostream& err, const std::string& dir,
                               const PictureFolder& pictures);

// What the run saw of the target across all its trees, for the warning at its end.
class TargetSeen {
public:
    // One tree was analysed, with `target_leaves` leaves passing the target test.
    void tree(std::size_t target_leaves) {
        ++trees_;
        target_leaves_ += target_leaves;
    }

    // After the last file: when trees were analysed and none had a leaf that passes the target
    // test, the search prefix is most likely misspelled (or missing from the group file).
    void warn_if_never_seen(std::ostream& err, const RunConfig& config) const;

private:
    std::size_t trees_ = 0;
    std::size_t target_leaves_ = 0;
};

}  // namespace tavrin

#endif  // TAVRIN_DRIVER_WARNINGS_H
