// Where each part of a tree's picture goes: the tree reduced to what is drawn (every leaf of a
// small tree; wedges for the large clades of a big one), each node with its place and its role
// towards the target.
//
// Small trees (at most kAllLeaves leaves) are drawn leaf by leaf. In a bigger tree every largest
// subtree of two or more leaves that holds no target leaf and whose leaves share one leaf prefix
// becomes one wedge, and so does the target clade when one was found. When more than kMaxTips
// tips (leaves and wedges) are left, the deepest subtrees are merged into `mixed` wedges, the
// path down to the target last, until kMaxTips remain.
//
// Leaves the tree analysed was taken without are hung back, in a tree drawn leaf by leaf, each on
// the branch where it stood (at most kAllLeaves of them; more are left out).
//
// One walk over the tree, with its own stacks (no recursion), in time linear in the tree; it
// keeps records only for the nodes that can be drawn.
#ifndef TAVRIN_DRAW_LAYOUT_H
#define TAVRIN_DRAW_LAYOUT_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "analysis/steps.h"
#include "tree/node_ref.h"
#include "tree/phylogeny.h"
#include "tree/rooting.h"

namespace tavrin {

constexpr std::size_t kAllLeaves = 200;
constexpr std::size_t kMaxTips = 400;

// What a leaf is to the answer; a wedge or an edge takes the role all its leaves share, else
// kOther. kAside is a leaf the tree analysed was taken without.
enum class Role : std::uint8_t { kOther, kSister1, kSister2, kTarget, kAside };
constexpr std::size_t kRoleCount = 5;

// The class attribute of a role's labels: "other", "sister1", "sister2", "target", "aside".
const char* role_class(Role role);

enum class Tip : std::uint8_t {
    kNone,         // an internal node, drawn with its children
    kLeaf,         // a leaf, labelled with its name
    kWedge,        // a subtree of one leaf prefix, labelled "<prefix> (<leaves>)"
    kTargetWedge,  // the target clade, labelled "<search prefix> (<leaves>)"
    kMixed,        // merged subtrees, labelled "mixed (<leaves>)"
};

// A leaf set aside (Role::kAside) comes right before the node whose branch holds it (after the
// root for the root), so that its row is next to that node's; its `parent` is that node, and
// its branch leaves that node's branch at `stem_x`, `up` above the node as lengths go.
struct DrawnNode {
    NodeRef node = nullptr;
    std::uint32_t parent = 0;  // index in DrawnTree::nodes; the root is its own parent
    Tip tip = Tip::kNone;
    Role role = Role::kOther;
    std::size_t leaves = 0;  // leaves below it in the tree drawn
    double x = 0;            // from the root, in units of DrawnTree::width
    double far_x = 0;        // a wedge's far end: its deepest leaf
    double row = 0;          // tip rows are 0, 1, 2...; an internal node lies between its children
    std::string label;       // a tip's text, unescaped
    double up = 0;           // a leaf set aside: see above
    double stem_x = 0;
    bool stray = false;  // a leaf its sister clade holds outside its name (marked by the picture)
};

struct DrawnTree {
    std::vector<DrawnNode> nodes;  // in preorder, the root first
    std::size_t tips = 0;          // leaves and wedges of the tree analysed
    std::size_t aside = 0;         // leaves set aside, hung back
    double width = 1;              // the largest far end or leaf x
    bool lengths = false;          // x comes from branch lengths; else every leaf lines up
    std::size_t leaves = 0;        // leaves of the whole tree
    std::size_t merged = 0;        // subtrees merged into `mixed` wedges
};

// What a layout needs from the analysis. Without a target clade the target leaves are those the
// analysis listed; with one they are exactly the leaves of the clade.
struct LayoutInput {
    NodeRef root = nullptr;
    NodeRef target = nullptr;  // absent when no clade was found
    const SisterClades* sisters = nullptr;
    // The target leaves of a tree without a target clade, in address order; may be absent.
    const std::vector<NodeRef>* target_leaves = nullptr;
    std::string target_label;  // the search prefix, for the target wedge
    char separator = '-';
    // The leaves the tree was taken without, and where they stood; may be absent.
    const std::vector<RemovedLeaf>* aside = nullptr;
};

DrawnTree lay_out(const LayoutInput& input);

}  // namespace tavrin

#endif  // TAVRIN_DRAW_LAYOUT_H
