#include "draw/picture.h"

#include <algorithm>
#include <array>
#include <locale>
#include <memory>
#include <sstream>
#include <unordered_map>

#include "analysis/steps.h"
#include "draw/layout.h"
#include "draw/measure.h"
#include "draw/picture_file.h"
#include "draw/xml_text.h"
#include "output/table_format.h"

namespace tavrin {

namespace {

// Pixels.
constexpr double kMargin = 20;
constexpr double kLine = 18;   // caption lines
constexpr double kPitch = 16;  // tree rows
constexpr double kTreeWidth = 640;
constexpr double kFontSize = 12;
constexpr double kSupportSize = 9;
constexpr double kScaleRoom = 28;  // below the tree, for the scale bar
// Longest shown names in the caption: the file, the target, each sister; the list of leaves set
// aside.
constexpr std::size_t kNameChars = 300;
constexpr std::size_t kSetAsideChars = 300;  // also the list of strays
constexpr std::size_t kLegendNameChars = 40;

constexpr const char* kMiddleDot = " \xC2\xB7 ";
constexpr const char* kNoNameFits = "no name fits";

// One palette for labels, branches and wedges: dark enough to read on white, and told apart in
// grey print by weight, slant, underline and strike-through as well as by hue.
constexpr const char* kStyle =
    "text{fill:#222}"
    ".target{fill:#c24e00;font-weight:bold}"
    ".sister1{fill:#0067a6;font-style:italic}"
    ".sister2{fill:#00795a;text-decoration:underline}"
    ".other{fill:#555555}"
    ".aside{fill:#8a8a8a;text-decoration:line-through}"
    ".support{fill:#666666;font-size:9px}"
    ".reported{fill:#000000;font-weight:bold}"
    ".scale{fill:#444444;font-size:10px}"
    "path{fill:none;stroke-width:1.3}"
    ".e-target{stroke:#c24e00}.e-sister1{stroke:#0067a6}"
    ".e-sister2{stroke:#00795a}.e-other{stroke:#8a8a8a}"
    ".e-aside{stroke:#a8a8a8;stroke-dasharray:4 2}.e-scale{stroke:#444444}"
    ".w-target{fill:#c24e00}.w-sister1{fill:#0067a6}.w-sister2{fill:#00795a}"
    ".w-other{fill:#8a8a8a}.w-aside{fill:#c8c8c8}"
    ".w-target,.w-sister1,.w-sister2,.w-other{fill-opacity:0.35;stroke:none}";

constexpr const char* kSupportLegend = "numbers: support (bold: the one reported)";

// A support as the picture writes it: the shortest decimal that reads back the same, or "n/a".
std::string support_text(const SupportCell& support) {
    return support.applies ? shortest_decimal(support.value) : "n/a";
}

// What the legend or the caption says of sister `i`: its name, "no name fits" when clades were
// examined for it but no name fits them, or nothing when none were.
std::string sister_words(const AnalysisResult& result, std::size_t i, std::size_t max_chars) {
    if (i < result.sisters.size()) return xml_text(result.sisters[i], max_chars);
    return result.sister_clades[i].empty() ? std::string() : kNoNameFits;
}

// A stray leaf's text is struck through (a second sister's stays underlined too).
const char* stray_style(Role role) {
    return role == Role::kSister2 ? " style=\"text-decoration:underline line-through\""
                                  : " style=\"text-decoration:line-through\"";
}

// One entry of the legend: a role's swatch and its meaning, escaped; a stray's is struck through.
struct LegendEntry {
    Role role;
    std::string words;
    bool stray = false;
};

// The legend's entries: target first, then the sisters, the other leaves and, when any are
// drawn, the strays and the leaves set aside.
std::vector<LegendEntry> legend_entries(const AnalysisResult& result, const DrawnTree& drawn) {
    std::vector<LegendEntry> entries = {{Role::kTarget, "target leaves"},
                                        {Role::kSister1, "first sister"},
                                        {Role::kSister2, "second sister"},
                                        {Role::kOther, "other leaves"}};
    for (std::size_t i = 0; i < 2; ++i) {
        const std::string words = sister_words(result, i, kLegendNameChars);
        if (!words.empty()) entries[i + 1].words += ": " + words;
    }
    const bool strays = std::any_of(drawn.nodes.begin(), drawn.nodes.end(),
                                    [](const DrawnNode& n) { return n.stray; });
    if (strays) entries.push_back({Role::kSister1, "stray", true});
    if (drawn.aside > 0) entries.push_back({Role::kAside, "set aside, where each stood"});
    return entries;
}

// Where the legend's next entry starts after one whose meaning is `words`.
double legend_step(const std::string& words) {
    return 34 + text_width(words, kFontSize);
}

// The caption's line of the answer: sisters, support, reroot and root entry.
std::string answer_line(const AnalysisResult& result, const AnalysisSettings& settings) {
    std::string answer = "Sisters: ";
    if (result.sisters.empty()) {
        answer += result.sister_clades[0].empty() ? "none" : kNoNameFits;
    } else {
        answer += xml_text(result.sisters[0], kNameChars);
        const std::string second = sister_words(result, 1, kNameChars);
        if (result.sisters.size() > 1) answer += ", " + second;
        if (result.sisters.size() == 1 && !second.empty()) answer += " (second: " + second + ")";
        answer += kMiddleDot + std::string("Support: ") + support_text(result.support);
    }
    const bool found =
        result.status == TreeStatus::kSisters || result.status == TreeStatus::kUnnamed;
    if (found) answer += kMiddleDot + std::string("Rerooted: ") + (result.rerooted ? "yes" : "no");
    // The entry of --root that rooted the tree, when a list was given.
    if (!settings.root.entries.empty()) {
        answer += kMiddleDot + std::string("Root: ") +
                  (result.status == TreeStatus::kNoRoot
                       ? std::string("none of ") + xml_text(settings.root.text, kNameChars)
                       : xml_text(result.root, kNameChars));
    }
    return answer;
}

// Adds `name` to the comma-separated `names` of a caption line cut at kSetAsideChars characters,
// while the cut can still show it: a character takes at most 4 bytes, so past 4 kSetAsideChars
// bytes the cut and its ellipsis are the same however many names follow.
void join_for_caption(std::string& names, std::string_view name) {
    if (names.size() > 4 * kSetAsideChars) return;
    if (!names.empty()) names += ',';
    names += name;
}

// `names` joined by commas for a caption line.
std::string caption_list(const std::vector<std::string>& names) {
    std::string joined;
    for (const std::string& name : names)
        join_for_caption(joined, name);
    return joined;
}

// The names of the leaves the tree analysed was taken without, joined by commas for the caption.
std::string set_aside_names(const AnalysisResult& result) {
    std::string names;
    if (!result.aside.empty()) {
        for (const RemovedLeaf& leaf : result.aside)
            join_for_caption(names, leaf.leaf.name());
    } else if (result.set_aside) {
        names = caption_list(result.outliers.names);
    }
    return names;
}

// The caption's lines, escaped.
std::vector<std::string> caption_lines(const AnalysisResult& result,
                                       const AnalysisSettings& settings,
                                       const PictureSource& source) {
    std::vector<std::string> lines;
    std::string first = xml_text(source.file, kNameChars);
    if (source.several) first += ", tree " + std::to_string(source.tree) + " of the file";
    if (!source.label.empty())
        first += kMiddleDot + std::string("Label: ") + xml_text(source.label);
    lines.push_back(first);
    lines.push_back("Target: " + xml_text(settings.prefix, kNameChars) + " (" +
                    std::to_string(result.target_leaves) + " target leaves in the tree as read)" +
                    kMiddleDot + "Status: " + status_name(result.status));
    lines.push_back(answer_line(result, settings));
    const std::string aside = set_aside_names(result);
    if (!aside.empty()) lines.push_back("Set aside: " + xml_text(aside, kSetAsideChars));
    const std::string strays = caption_list(result.strays);
    if (!strays.empty()) lines.push_back("Strays: " + xml_text(strays, kSetAsideChars));
    const std::string root_strays = caption_list(result.root_strays);
    if (!root_strays.empty())
        lines.push_back("Outgroup broken by: " + xml_text(root_strays, kSetAsideChars));
    return lines;
}

struct Frame {
    double left = 0, top = 0, scale = 1;  // the tree's area
    double width = 0, height = 0;
    double px(double x) const { return left + x * scale; }
    double py(double row) const { return top + row * kPitch; }
};

void write_caption(std::ostream& out, const std::vector<std::string>& lines) {
    out << "<text class=\"caption\" x=\"" << kMargin << "\" y=\"" << kMargin + 4 << "\">";
    for (std::size_t i = 0; i < lines.size(); ++i) {
        out << "<tspan x=\"" << kMargin << "\" y=\"" << svg_number(kMargin + 4 + kLine * i) << '"'
            << (i == 0 ? " font-weight=\"bold\"" : "") << '>' << lines[i] << "</tspan>";
    }
    out << "</text>\n";
}

// Swatches and their meanings in one text; `supports` are the support values' positioned
// spans, which follow the legend's own words in the same text.
void write_legend(std::ostream& out, const std::vector<LegendEntry>& entries, double y,
                  const std::string& supports) {
    double x = kMargin;
    std::string spans;
    for (const LegendEntry& entry : entries) {
        out << "<rect x=\"" << svg_number(x) << "\" y=\"" << svg_number(y - 10)
            << "\" width=\"12\" height=\"12\" class=\"w-" << role_class(entry.role) << "\"/>\n";
        spans += "<tspan x=\"" + svg_number(x + 16) + "\" y=\"" + svg_number(y) + "\"" +
                 (entry.stray ? stray_style(entry.role) : "") + " class=\"" +
                 role_class(entry.role) + "\">" + entry.words + "</tspan>";
        x += legend_step(entry.words);
    }
    spans += "<tspan x=\"" + svg_number(x) + "\" y=\"" + svg_number(y) + "\">" + kSupportLegend +
             "</tspan>";
    out << "<text class=\"legend\">" << spans << "</text>\n<text class=\"support\">" << supports
        << "</text>\n";
}

// Branches, one path per role: the edge into each node, and the vertical bar joining its
// children. A leaf set aside hangs from the branch that holds it by a stem of its own.
void write_branches(std::ostream& out, const DrawnTree& tree, const Frame& at) {
    std::array<std::string, kRoleCount> paths;
    std::vector<double> low(tree.nodes.size(), 1e300), high(tree.nodes.size(), -1e300);
    for (std::size_t k = tree.nodes.size(); k-- > 1;) {
        const DrawnNode& n = tree.nodes[k];
        const DrawnNode& p = tree.nodes[n.parent];
        const double y = at.py(n.row);
        std::string& path = paths[static_cast<std::size_t>(n.role)];
        if (n.role == Role::kAside) {
            path += "M" + svg_number(at.px(n.stem_x)) + " " + svg_number(at.py(p.row)) + "V" +
                    svg_number(y) + "H" + svg_number(at.px(n.x));
            continue;
        }
        path += "M" + svg_number(at.px(p.x)) + " " + svg_number(y) + "H" + svg_number(at.px(n.x));
        low[n.parent] = std::min(low[n.parent], y);
        high[n.parent] = std::max(high[n.parent], y);
    }
    for (std::size_t k = 0; k < tree.nodes.size(); ++k) {
        if (tree.nodes[k].tip != Tip::kNone || low[k] > high[k]) continue;
        paths[static_cast<std::size_t>(tree.nodes[k].role)] +=
            "M" + svg_number(at.px(tree.nodes[k].x)) + " " + svg_number(low[k]) + "V" +
            svg_number(high[k]);
    }
    const Role roles[] = {Role::kAside, Role::kOther, Role::kSister1, Role::kSister2,
                          Role::kTarget};
    for (const Role role : roles) {
        const std::string& d = paths[static_cast<std::size_t>(role)];
        if (!d.empty()) out << "<path class=\"e-" << role_class(role) << "\" d=\"" << d << "\"/>\n";
    }
}

// Where a tip's text starts: past a leaf's end, past a wedge's far end.
double tip_text_x(const DrawnNode& n, const Frame& at) {
    const double end = at.px(n.x);
    return (n.tip == Tip::kLeaf ? end : std::max(at.px(n.far_x), end + 8)) + 4;
}

// A cross in the clade's colour on a stray leaf's end.
void write_stray_cross(std::ostream& out, const DrawnNode& n, double x, double y) {
    out << "<path class=\"e-" << role_class(n.role) << "\" d=\"M" << svg_number(x - 3) << ' '
        << svg_number(y - 3) << 'L' << svg_number(x + 3) << ' ' << svg_number(y + 3) << 'M'
        << svg_number(x - 3) << ' ' << svg_number(y + 3) << 'L' << svg_number(x + 3) << ' '
        << svg_number(y - 3) << "\"/>\n";
}

// A text per tip: the leaf's name at its end, a wedge's label past its far end. A stray leaf is
// crossed and its name struck through.
void write_tips(std::ostream& out, const DrawnTree& tree, const Frame& at) {
    for (const DrawnNode& n : tree.nodes) {
        if (n.tip == Tip::kNone) continue;
        const double y = at.py(n.row);
        const double text_x = tip_text_x(n, at);
        if (n.tip != Tip::kLeaf) {
            out << "<path class=\"w-" << role_class(n.role) << "\" d=\"M" << svg_number(at.px(n.x))
                << ' ' << svg_number(y) << 'L' << svg_number(text_x - 4) << ' ' << svg_number(y - 6)
                << 'V' << svg_number(y + 6) << "Z\"/>\n";
        }
        if (n.stray) write_stray_cross(out, n, at.px(n.x), y);
        out << "<text x=\"" << svg_number(text_x) << "\" y=\"" << svg_number(y + 4) << '"'
            << (n.stray ? stray_style(n.role) : "") << " class=\"" << role_class(n.role) << "\">"
            << xml_text(n.label, kLabelChars) << "</text>\n";
    }
}

// Marks the leaves drawn that are strays of their sister clade.
void mark_strays(DrawnTree& drawn, const std::vector<NodeRef>& strays) {
    if (strays.empty()) return;
    // The leaves drawn are a few hundred at most; the strays may be most of a big tree.
    std::unordered_map<NodeRef, DrawnNode*> drawn_leaves;
    for (DrawnNode& n : drawn.nodes) {
        if (n.tip == Tip::kLeaf && n.role != Role::kAside) drawn_leaves.emplace(n.node, &n);
    }
    for (NodeRef stray : strays) {
        const auto found = drawn_leaves.find(stray);
        if (found != drawn_leaves.end()) found->second->stray = true;
    }
}

// The support written beside each node drawn, empty where none is: every internal node's
// that is not 0, and the reported one (bold) at the node it was read from.
struct Supports {
    std::vector<std::string> text;
    std::int64_t reported = -1;
};

Supports supports_of(const DrawnTree& tree, const AnalysisResult& result) {
    Supports supports;
    supports.text.resize(tree.nodes.size());
    for (std::size_t k = 0; k < tree.nodes.size(); ++k) {
        const DrawnNode& n = tree.nodes[k];
        if (!result.sisters.empty() && n.node == result.support_node && n.role != Role::kAside) {
            supports.reported = static_cast<std::int64_t>(k);
            supports.text[k] = support_text(result.support);
        } else if (n.tip != Tip::kLeaf && n.node.support() != 0) {
            supports.text[k] = shortest_decimal(n.node.support());
        }
    }
    return supports;
}

// The supports as positioned spans, each ending left of its node.
std::string support_spans(const DrawnTree& tree, const Supports& supports, const Frame& at) {
    std::string spans;
    for (std::size_t k = 0; k < tree.nodes.size(); ++k) {
        if (supports.text[k].empty()) continue;
        const DrawnNode& n = tree.nodes[k];
        const bool reported = static_cast<std::int64_t>(k) == supports.reported;
        spans += "<tspan x=\"" + svg_number(at.px(n.x) - 3) + "\" y=\"" +
                 svg_number(at.py(n.row) - 3) + "\" text-anchor=\"end\"" +
                 (reported ? " class=\"reported\">" : ">") + xml_text(supports.text[k]) +
                 "</tspan>";
    }
    return spans;
}

// A bar below the tree as long as a round branch length, and that length.
void write_scale_bar(std::ostream& out, const DrawnTree& tree, const Frame& at, double y) {
    const double length = scale_length(tree.width);
    if (length <= 0) return;
    const double x0 = at.px(0), x1 = at.px(length);
    out << "<path class=\"e-scale\" d=\"M" << svg_number(x0) << ' ' << svg_number(y) << 'H'
        << svg_number(x1) << 'M' << svg_number(x0) << ' ' << svg_number(y - 4) << 'V'
        << svg_number(y + 4) << 'M' << svg_number(x1) << ' ' << svg_number(y - 4) << 'V'
        << svg_number(y + 4) << "\"/>\n<text class=\"scale\" x=\"" << svg_number(x1 + 6)
        << "\" y=\"" << svg_number(y + 4) << "\">branch length " << shortest_decimal(length)
        << "</text>\n";
}

DrawnTree lay_out_result(const Phylogeny& tree, const AnalysisResult& result,
                         const AnalysisSettings& settings) {
    LayoutInput input;
    input.root = root_of(tree);
    input.target = result.target;
    input.sisters = &result.sister_clades;
    input.target_leaves = &result.target_leaf_nodes;
    input.target_label = settings.prefix;
    input.separator = settings.separator;
    input.aside = &result.aside;
    return lay_out(input);
}

// The picture's area: room on the left for the supports that stand left of the tree (the
// root's), on the right for the longest tip text, the caption and the legend.
Frame frame_of(const DrawnTree& drawn, const Supports& supports, std::size_t caption_lines,
               double text_width_needed) {
    Frame at;
    at.top = kMargin + kLine * static_cast<double>(caption_lines) + 44;
    at.scale = kTreeWidth / drawn.width;
    at.left = kMargin;
    for (std::size_t k = 0; k < drawn.nodes.size(); ++k) {
        if (supports.text[k].empty()) continue;
        const double width = text_width(supports.text[k], kSupportSize, true);
        at.left = std::max(at.left, kMargin / 2 + 3 + width - drawn.nodes[k].x * at.scale);
    }
    double right = at.left + kTreeWidth;
    for (const DrawnNode& n : drawn.nodes) {
        if (n.tip == Tip::kNone) continue;
        right =
            std::max(right, tip_text_x(n, at) + text_width(n.label, kFontSize,
                                                           n.role == Role::kTarget, kLabelChars));
    }
    at.width = std::max(right, text_width_needed) + kMargin;
    const auto rows = static_cast<double>(std::max<std::size_t>(drawn.tips + drawn.aside, 1));
    at.height = at.top + kPitch * rows + (drawn.lengths ? kScaleRoom : 0) + kMargin;
    return at;
}

// The widest of the caption's lines and the legend, from the left edge.
double caption_width(const std::vector<std::string>& lines,
                     const std::vector<LegendEntry>& legend) {
    double width = 0;
    for (std::size_t i = 0; i < lines.size(); ++i)
        width = std::max(width, kMargin + text_width(lines[i], kFontSize, i == 0));
    double x = kMargin + text_width(kSupportLegend, kFontSize);
    for (const LegendEntry& entry : legend)
        x += legend_step(entry.words);
    return std::max(width, x);
}

}  // namespace

std::string draw_picture(const Phylogeny& tree, const AnalysisResult& result,
                         const AnalysisSettings& settings, const PictureSource& source,
                         const PictureIdentity& identity) {
    DrawnTree drawn = lay_out_result(tree, result, settings);
    mark_strays(drawn, result.stray_leaves);
    std::vector<std::string> lines = caption_lines(result, settings, source);
    if (drawn.tips < drawn.leaves) {
        lines.push_back("Drawn as " + std::to_string(drawn.tips) + " tips for " +
                        std::to_string(drawn.leaves) +
                        " leaves: a wedge stands for a subtree of one leaf prefix, its leaves in "
                        "parentheses" +
                        (drawn.merged > 0 ? "; mixed: the deepest subtrees, merged" : ""));
    }
    const auto legend = legend_entries(result, drawn);
    const Supports supports = supports_of(drawn, result);
    const Frame at = frame_of(drawn, supports, lines.size(), caption_width(lines, legend));

    std::ostringstream out;
    out.imbue(std::locale::classic());
    out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        << "<svg xmlns=\"http://www.w3.org/2000/svg\" version=\"1.1\" width=\""
        << svg_number(at.width) << "\" height=\"" << svg_number(at.height) << "\" viewBox=\"0 0 "
        << svg_number(at.width) << ' ' << svg_number(at.height)
        << "\" font-family=\"sans-serif\" font-size=\"12\">\n"
        << "<title>" << lines[0] << ". " << lines[1] << ". " << lines[2] << "</title>\n"
        << "<metadata>" << identity.source() << "</metadata>\n<style>" << kStyle << "</style>\n"
        << "<rect width=\"100%\" height=\"100%\" fill=\"#ffffff\"/>\n";
    write_caption(out, lines);
    write_legend(out, legend, kMargin + kLine * static_cast<double>(lines.size()) + 14,
                 support_spans(drawn, supports, at));
    write_branches(out, drawn, at);
    write_tips(out, drawn, at);
    const double rows = static_cast<double>(std::max<std::size_t>(drawn.tips + drawn.aside, 1));
    if (drawn.lengths) write_scale_bar(out, drawn, at, at.py(rows - 1) + kPitch + 6);
    out << "</svg>\n";
    return out.str();
}

}  // namespace tavrin
