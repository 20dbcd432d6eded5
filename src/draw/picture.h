// The picture of one analysed tree, as a self-contained SVG document: a caption with the answer,
// a legend, and the tree drawn rectangularly from the root on the left, around its target.
//
// Each drawn leaf has one <text> element holding its name (cut after kLabelChars characters) and
// each wedge one holding its label, with the class of its role: `target`, `sister1`, `sister2`
// or `other`. The caption, the legend and the support values are longer texts, so no other
// <text> element's whole text is a leaf's name. The document stays below kMaxPictureBytes
// whatever the tree.
#ifndef TAVRIN_DRAW_PICTURE_H
#define TAVRIN_DRAW_PICTURE_H

#include <cstddef>
#include <string>
#include <string_view>

#include "analysis/pipeline.h"
#include "tree/phylogeny.h"

namespace tavrin {

constexpr std::size_t kLabelChars = 200;
constexpr std::size_t kMaxPictureBytes = 1000000;

// Where the tree comes from, for the caption. The picture does not depend on the tree's place
// in the run, which only its file's name holds, so that it can be drawn before that place is
// known.
struct PictureSource {
    std::string_view file;
    std::size_t tree = 1;  // its place in its file, from 1
    bool several = false;  // the file holds several trees
};

// The SVG document of `tree` as `result` describes it (after any reroot, parent fold or leaves
// set aside); `settings` say what was searched and how the tree was rooted.
std::string draw_picture(const Phylogeny& tree, const AnalysisResult& result,
                         const AnalysisSettings& settings, const PictureSource& source);

}  // namespace tavrin

#endif  // TAVRIN_DRAW_PICTURE_H
