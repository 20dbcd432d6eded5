#include "draw/picture.h"

#include <algorithm>
#include <array>
#include <locale>
#include <memory>
#include <sstream>

#include "analysis/steps.h"
#include "draw/layout.h"
#include "draw/picture_file.h"
#include "draw/xml_text.h"
#include "output/report.h"
#include "output/table_format.h"

namespace tavrin {

namespace {

// Pixels. Text widths are estimated for a 12 px sans-serif font.
constexpr double kMargin = 20;
constexpr double kLine = 18;   // caption lines
constexpr double kPitch = 16;  // tree rows
constexpr double kTreeWidth = 640;
constexpr double kCharWidth = 7;
// Longest shown names in the caption: the file, the target, each sister.
constexpr std::size_t kNameChars = 300;
constexpr std::size_t kSetAsideChars = 300;

// One palette for labels, branches and wedges: dark enough to read on white, and told apart in
// grey print by weight, slant and underline as well as by hue.
constexpr const char* kStyle =
    "text{fill:#222}"
    ".target{fill:#c24e00;font-weight:bold}"
    ".sister1{fill:#0067a6;font-style:italic}"
    ".sister2{fill:#00795a;text-decoration:underline}"
    ".other{fill:#555555}"
    ".support{fill:#666666;font-size:9px}"
    ".reported{fill:#000000;font-weight:bold}"
    "path{fill:none;stroke-width:1.3}"
    ".e-target{stroke:#c24e00}.e-sister1{stroke:#0067a6}"
    ".e-sister2{stroke:#00795a}.e-other{stroke:#8a8a8a}"
    ".w-target{fill:#c24e00}.w-sister1{fill:#0067a6}.w-sister2{fill:#00795a}"
    ".w-other{fill:#8a8a8a}"
    ".w-target,.w-sister1,.w-sister2,.w-other{fill-opacity:0.35;stroke:none}";

constexpr const char* kSupportLegend = "numbers: support (bold: the one reported)";
constexpr std::size_t kLegendMeaningChars = 60;

// The legend's words, one per role, in the order of Role's values reversed: target first.
std::array<std::string, 4> legend_words(const AnalysisResult& result) {
    std::array<std::string, 4> words = {"target leaves", "first sister", "second sister",
                                        "other leaves"};
    for (std::size_t i = 0; i < result.sisters.size() && i < 2; ++i)
        words[i + 1] += ": " + xml_text(result.sisters[i], 40);
    return words;
}

// Where the legend's next entry starts after `words`.
double legend_step(const std::string& words) {
    return 34 + kCharWidth * static_cast<double>(std::min(words.size(), kLegendMeaningChars));
}

std::string reported_support(const AnalysisResult& result) {
    std::ostringstream text;
    text.imbue(std::locale::classic());
    write_support(text, result.support);
    return text.str();
}

// The caption's lines, escaped.
std::vector<std::string> caption_lines(const AnalysisResult& result,
                                       const AnalysisSettings& settings,
                                       const PictureSource& source) {
    std::vector<std::string> lines;
    std::string first = xml_text(source.file, kNameChars);
    if (source.several) first += ", tree " + std::to_string(source.tree) + " of the file";
    lines.push_back(first);
    lines.push_back("Target: " + xml_text(settings.prefix, kNameChars) + " (" +
                    std::to_string(result.target_leaves) + " target leaves in the tree as read)" +
                    " \xC2\xB7 Status: " + status_name(result.status));
    std::string answer = "Sisters: ";
    for (std::size_t i = 0; i < result.sisters.size(); ++i)
        answer += (i > 0 ? ", " : "") + xml_text(result.sisters[i], kNameChars);
    if (result.sisters.empty()) answer += "none";
    if (!result.sisters.empty()) answer += " \xC2\xB7 Support: " + reported_support(result);
    const bool found =
        result.status == TreeStatus::kSisters || result.status == TreeStatus::kUnnamed;
    if (found) answer += std::string(" \xC2\xB7 Rerooted: ") + (result.rerooted ? "yes" : "no");
    // The entry of --root that rooted the tree, when a list was given.
    if (!settings.root.entries.empty()) {
        answer += " \xC2\xB7 Root: " +
                  (result.status == TreeStatus::kNoRoot
                       ? std::string("none of ") + xml_text(settings.root.text, kNameChars)
                       : xml_text(result.root, kNameChars));
    }
    lines.push_back(answer);
    if (result.set_aside) {
        std::string names;
        for (const std::string& name : result.outliers.names)
            names += (names.empty() ? "" : ",") + name;
        lines.push_back("Set aside: " + xml_text(names, kSetAsideChars));
    }
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
void write_legend(std::ostream& out, const AnalysisResult& result, double y,
                  const std::string& supports) {
    const std::array<std::string, 4> meaning = legend_words(result);
    const Role roles[] = {Role::kTarget, Role::kSister1, Role::kSister2, Role::kOther};
    double x = kMargin;
    std::string spans;
    for (std::size_t i = 0; i < 4; ++i) {
        out << "<rect x=\"" << svg_number(x) << "\" y=\"" << svg_number(y - 10)
            << "\" width=\"12\" height=\"12\" class=\"w-" << role_class(roles[i]) << "\"/>\n";
        spans += "<tspan x=\"" + svg_number(x + 16) + "\" y=\"" + svg_number(y) + "\" class=\"" +
                 role_class(roles[i]) + "\">" + meaning[i] + "</tspan>";
        x += legend_step(meaning[i]);
    }
    spans += "<tspan x=\"" + svg_number(x) + "\" y=\"" + svg_number(y) + "\">" + kSupportLegend +
             "</tspan>";
    out << "<text class=\"legend\">" << spans << "</text>\n<text class=\"support\">" << supports
        << "</text>\n";
}

// Branches, one path per role: the edge into each node, and the vertical bar joining its
// children.
void write_branches(std::ostream& out, const DrawnTree& tree, const Frame& at) {
    std::array<std::string, 4> paths;
    std::vector<double> low(tree.nodes.size(), 1e300), high(tree.nodes.size(), -1e300);
    for (std::size_t k = tree.nodes.size(); k-- > 1;) {
        const DrawnNode& n = tree.nodes[k];
        const DrawnNode& p = tree.nodes[n.parent];
        const double y = at.py(n.row);
        paths[static_cast<std::size_t>(n.role)] +=
            "M" + svg_number(at.px(p.x)) + " " + svg_number(y) + "H" + svg_number(at.px(n.x));
        low[n.parent] = std::min(low[n.parent], y);
        high[n.parent] = std::max(high[n.parent], y);
    }
    for (std::size_t k = 0; k < tree.nodes.size(); ++k) {
        if (tree.nodes[k].tip != Tip::kNone || low[k] > high[k]) continue;
        paths[static_cast<std::size_t>(tree.nodes[k].role)] +=
            "M" + svg_number(at.px(tree.nodes[k].x)) + " " + svg_number(low[k]) + "V" +
            svg_number(high[k]);
    }
    const Role roles[] = {Role::kOther, Role::kSister1, Role::kSister2, Role::kTarget};
    for (const Role role : roles) {
        const std::string& d = paths[static_cast<std::size_t>(role)];
        if (!d.empty()) out << "<path class=\"e-" << role_class(role) << "\" d=\"" << d << "\"/>\n";
    }
}

// A text per tip: the leaf's name at its end, a wedge's label past its far end.
void write_tips(std::ostream& out, const DrawnTree& tree, const Frame& at) {
    for (const DrawnNode& n : tree.nodes) {
        if (n.tip == Tip::kNone) continue;
        const double y = at.py(n.row);
        double end = at.px(n.x);
        if (n.tip != Tip::kLeaf) {
            end = std::max(at.px(n.far_x), end + 8);
            out << "<path class=\"w-" << role_class(n.role) << "\" d=\"M" << svg_number(at.px(n.x))
                << ' ' << svg_number(y) << 'L' << svg_number(end) << ' ' << svg_number(y - 6) << 'V'
                << svg_number(y + 6) << "Z\"/>\n";
        }
        out << "<text x=\"" << svg_number(end + 4) << "\" y=\"" << svg_number(y + 4)
            << "\" class=\"" << role_class(n.role) << "\">" << xml_text(n.label, kLabelChars)
            << "</text>\n";
    }
}

// The support of every node drawn that has one, as positioned spans; the target's parent shows
// the support the answer reports.
std::string support_spans(const DrawnTree& tree, const AnalysisResult& result, const Frame& at) {
    // The node the support was read from: the target's parent, its grandparent after the parent
    // fold, or the sibling across the root.
    std::int64_t reported_at = -1;
    for (std::size_t k = 0; k < tree.nodes.size() && !result.sisters.empty(); ++k) {
        if (tree.nodes[k].node == result.support_node) reported_at = static_cast<std::int64_t>(k);
    }
    const std::string reported_text = reported_at >= 0 ? reported_support(result) : "";
    std::ostringstream value;  // one stream for every value, written as the report writes them
    value.imbue(std::locale::classic());
    std::string spans;
    for (std::size_t k = 0; k < tree.nodes.size(); ++k) {
        const DrawnNode& n = tree.nodes[k];
        const bool reported = static_cast<std::int64_t>(k) == reported_at;
        if (!reported && (n.tip == Tip::kLeaf || n.node->support == 0)) continue;
        if (!reported) {
            value.str("");
            value << n.node->support;
        }
        spans += "<tspan x=\"" + svg_number(at.px(n.x) - 3) + "\" y=\"" +
                 svg_number(at.py(n.row) - 3) + "\" text-anchor=\"end\"" +
                 (reported ? " class=\"reported\">" + reported_text : ">" + value.str()) +
                 "</tspan>";
    }
    return spans;
}

DrawnTree lay_out_result(const Phylogeny& tree, const AnalysisResult& result,
                         const AnalysisSettings& settings) {
    LayoutInput input;
    input.root = tree.root;
    input.target = result.target;
    input.sisters = &result.sister_clades;
    input.target_leaves = &result.target_leaf_nodes;
    input.target_label = settings.prefix;
    input.separator = settings.separator;
    return lay_out(input);
}

}  // namespace

std::string draw_picture(const Phylogeny& tree, const AnalysisResult& result,
                         const AnalysisSettings& settings, const PictureSource& source) {
    const DrawnTree drawn = lay_out_result(tree, result, settings);
    std::vector<std::string> lines = caption_lines(result, settings, source);
    if (drawn.tips < drawn.leaves) {
        lines.push_back("Drawn as " + std::to_string(drawn.tips) + " tips for " +
                        std::to_string(drawn.leaves) +
                        " leaves: a wedge stands for a subtree of one leaf prefix, its leaves in "
                        "parentheses" +
                        (drawn.merged > 0 ? "; mixed: the deepest subtrees, merged" : ""));
    }
    Frame at;
    at.left = kMargin;
    at.top = kMargin + kLine * static_cast<double>(lines.size()) + 44;
    at.scale = kTreeWidth / drawn.width;
    std::size_t label_chars = 0, caption_chars = 0;
    for (const DrawnNode& n : drawn.nodes) {
        if (n.tip != Tip::kNone) label_chars = std::max(label_chars, n.label.size());
    }
    for (const std::string& line : lines)
        caption_chars = std::max(caption_chars, line.size());
    const double labels = kCharWidth * static_cast<double>(std::min(label_chars, kLabelChars));
    at.width = std::max(kMargin * 2 + kTreeWidth + 20 + labels,
                        kMargin * 2 + kCharWidth * static_cast<double>(caption_chars));
    double legend = kMargin * 2 + kCharWidth * std::string_view(kSupportLegend).size();
    for (const std::string& words : legend_words(result))
        legend += legend_step(words);
    at.width = std::max(at.width, legend);
    at.height =
        at.top + kPitch * static_cast<double>(std::max<std::size_t>(drawn.tips, 1)) + kMargin;

    std::ostringstream out;
    out.imbue(std::locale::classic());
    out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        << "<svg xmlns=\"http://www.w3.org/2000/svg\" version=\"1.1\" width=\""
        << svg_number(at.width) << "\" height=\"" << svg_number(at.height) << "\" viewBox=\"0 0 "
        << svg_number(at.width) << ' ' << svg_number(at.height)
        << "\" font-family=\"sans-serif\" font-size=\"12\">\n"
        << "<title>" << lines[0] << "</title>\n<style>" << kStyle << "</style>\n"
        << "<rect width=\"100%\" height=\"100%\" fill=\"#ffffff\"/>\n";
    write_caption(out, lines);
    write_legend(out, result, kMargin + kLine * static_cast<double>(lines.size()) + 14,
                 support_spans(drawn, result, at));
    write_branches(out, drawn, at);
    write_tips(out, drawn, at);
    out << "</svg>\n";
    return out.str();
}

}  // namespace tavrin
