// The picture of one analysed tree, as a self-contained SVG document: a caption with the answer,
// a legend, and the tree drawn rectangularly from the root on the left, around its target.
//
// Each drawn leaf has one <text> element holding its name (cut after kLabelChars characters) and
// each wedge one holding its label, with the class of its role: `target`, `sister1`, `sister2`
// or `other`; a leaf set aside, hung back where it stood, has the class `aside`. The caption,
// the legend, the support values and the scale bar's words are longer texts, so no other <text>
// element's whole text is a leaf's name. Supports are written as the shortest decimal that
// reads back the same. The document stays below kMaxPictureBytes whatever the tree.
#ifndef TAVRIN_DRAW_PICTURE_H
#define TAVRIN_DRAW_PICTURE_H

#include <cstddef>
#include <string>
#include <string_view>

#include "analysis/pipeline.h"
#include "draw/picture_file.h"
#include "tree/phylogeny.h"

namespace tavrin {

constexpr std::size_t kLabelChars = 200;
constexpr std::size_t kMaxPictureBytes = 1000000;

// The SVG document of `tree` as `result` describes it (after any reroot or leaves set aside,
// which are hung back where they stood); `settings` say what was searched and how the tree was
// rooted; `source` where the tree comes from, for the caption. It has a <title> (the caption's
// first lines) and a <metadata> element holding the source `identity` records (made of `source`,
// draw/picture_file.h). The picture does not depend on the tree's place in the run, which only
// its file's name holds, so that it can be drawn before that place is known.
std::string draw_picture(const Phylogeny& tree, const AnalysisResult& result,
                         const AnalysisSettings& settings, const PictureSource& source,
                         const PictureIdentity& identity);

}  // namespace tavrin

#endif  // TAVRIN_DRAW_PICTURE_H
