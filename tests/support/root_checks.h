// Checks of --root, --outliers and --draw on a tree as read, for the fuzz target fuzz_root and
// the replay of its seeds.
//
// An input is a flags byte and lines: the search prefix, the --root list, the tree, and the rest
// as the group file. Flags: bit 0 reads the tree as standard Newick, bit 1 uses the group file,
// bits 2 and 3 give the outliers bound K (0 to 3), bit 4 asks for a picture, bit 5 for the table
// (the outliers of every tree).
//
// What must hold, whatever the bytes:
// - the list roots the tree as its entries tried one by one do, each outgroup found by its own
//   test on every side of every branch (trees of at most kMostReferenceLeaves leaves), and the
//   outgroups it reports as matched are those some leaf passes;
// - the analysis leaves a sound tree, its result names the entry that rooted it (or none, with
//   status no-root), and its set-aside leaves lie within the bound;
// - the table row holds the header's fields on one line; with standard Newick the report's rows,
//   the Set aside line and the no-root message hold no raw control byte and stay one line each;
// - the picture is an SVG document.
#ifndef TAVRIN_TESTS_SUPPORT_ROOT_CHECKS_H
#define TAVRIN_TESTS_SUPPORT_ROOT_CHECKS_H

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/leaf_matching.h"
#include "analysis/pipeline.h"
#include "analysis/root_list.h"
#include "analysis/steps.h"
#include "draw/picture.h"
#include "driver/tree_work.h"
#include "output/report.h"
#include "output/table_format.h"
#include "support/input_checks.h"
#include "support/tree_check.h"
#include "tree/rooting.h"
#include "tree/tree_reader.h"
#include "tree/walk.h"

namespace tavrin {

namespace root_checks {

constexpr std::size_t kMostReferenceLeaves = 200;

struct RootInput {
    bool standard = false;
    bool with_groups = false;
    std::size_t bound = 0;
    bool picture = false;
    bool table = false;
    std::string prefix, list, tree, groups;
};

inline RootInput split_root_input(const uint8_t* data, std::size_t size) {
    RootInput in;
    std::string_view rest(reinterpret_cast<const char*>(data), size);
    if (rest.empty()) return in;
    const auto flags = static_cast<unsigned char>(rest[0]);
    in.standard = (flags & 1u) != 0;
    in.with_groups = (flags & 2u) != 0;
    in.bound = (flags >> 2) & 3u;
    in.picture = (flags & 16u) != 0;
    in.table = (flags & 32u) != 0;
    rest.remove_prefix(1);
    const auto next_line = [&rest] {
        const std::size_t end = rest.find('\n');
        const std::string line(rest.substr(0, end));
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
        return line;
    };
    in.prefix = next_line();
    in.list = next_line();
    in.tree = next_line();
    in.groups = std::string(rest);
    return in;
}

// The largest side of leaves that all pass `in`, by its definition: every side of every branch
// (the root's two branches are one, named by its left child); none when sides tie.
inline std::optional<NodeRef> reference_side(const Phylogeny& tree, const std::set<NodeRef>& in) {
    std::vector<NodeRef> nodes;
    preorder(static_cast<NodeRef>(tree.root), [&](NodeRef node) { nodes.push_back(node); });
    std::size_t leaves = 0;
    for (NodeRef node : nodes)
        leaves += node.right() == nullptr;
    std::size_t best = 0, ties = 0;
    NodeRef below = nullptr;
    for (NodeRef branch : nodes) {
        if (branch == tree.root || branch == tavrin::root_of(tree).right()) continue;
        std::size_t under = 0, under_in = 0;
        preorder(branch, [&](NodeRef node) {
            if (node.right() != nullptr) return;
            ++under;
            under_in += in.count(node);
        });
        const std::size_t sides[2][2] = {{under, under_in}, {leaves - under, in.size() - under_in}};
        for (const auto& side : sides) {
            if (side[0] == 0 || side[1] != side[0]) continue;
            if (side[0] > best) {
                best = side[0];
                ties = 0;
                below = branch;
            }
            ties += side[0] == best;
        }
    }
    if (ties != 1) return std::nullopt;
    return below;
}

// The list tried entry by entry on a copy of `tree`: "<entry> <tree>" or "no root".
inline std::string rooted_entry_by_entry(const Phylogeny& read, const RootList& list,
                                         const TargetTest& target, const GroupRelations& groups,
                                         char separator) {
    std::unique_ptr<Phylogeny> tree = read.copy();
    for (const RootEntry& entry : list.entries) {
        if (entry.text == kRootGiven) return entry.text + " " + tree->root->print();
        std::optional<RootPlace> place;
        if (entry.outgroup.has_value()) {
            const LeafMatcher matcher(entry.text, false);
            const TargetTest test(matcher, groups, entry.text, separator);
            std::set<NodeRef> in;
            preorder(static_cast<NodeRef>(tree->root), [&](NodeRef n) {
                if (n.right() == nullptr && test(n) && !target(n)) in.insert(n);
            });
            const std::optional<NodeRef> side = reference_side(*tree, in);
            // The place itself comes from the code under test: only the branch is checked here.
            if (side.has_value()) {
                place = UnrootedTree(*tree).outgroup_place(
                    [&](NodeRef leaf) { return in.count(leaf) > 0; });
                if (!place.has_value() || place->below != *side)
                    return "a side other than the largest for " + entry.text;
            }
        } else {
            place = UnrootedTree(*tree).midpoint_place();
        }
        if (!place.has_value()) continue;
        root_on_branch(*tree, *place);
        return entry.text + " " + tree->root->print();
    }
    return "no root";
}

// The root list against its entries tried one by one, on a tree small enough for the reference.
inline std::string check_root_list(const Phylogeny& read, const AnalysisSettings& settings) {
    if (tree_check::leaf_count(read.root) > kMostReferenceLeaves) return "";
    const Analysis analysis(settings);
    const TargetTest& target = analysis.target_test();
    std::unique_ptr<Phylogeny> tree = read.copy();
    std::vector<bool> matched;
    const RootEntry* entry = root_by_list(*tree, settings.root, target, settings.groups,
                                          settings.separator, nullptr, &matched);
    const std::string got = entry == nullptr ? "no root" : entry->text + " " + tree->root->print();
    const std::string expected =
        rooted_entry_by_entry(read, settings.root, target, settings.groups, settings.separator);
    if (got != expected)
        return "the list roots otherwise than its entries: " + got + " / " + expected;
    const OutgroupNames& names = *settings.root.outgroups;
    for (std::size_t i = 0; i < names.size(); ++i) {
        const LeafMatcher outgroup(names.name(i), false);
        const TargetTest test(outgroup, settings.groups, names.name(i), settings.separator);
        bool any = false;
        preorder(static_cast<NodeRef>(read.root),
                 [&](NodeRef n) { any = any || (n.right() == nullptr && test(n)); });
        if (i >= matched.size() || matched[i] != any) return "matched wrongly: " + names.name(i);
    }
    return "";
}

// Every line of `text` ends with its line break and no raw control byte stands in it.
inline std::string check_lines(const std::string& text, bool controls_escaped) {
    if (!text.empty() && text.back() != '\n') return "a line without its line break: " + text;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (controls_escaped && (byte < 0x20 || byte == 0x7f) && c != '\n' && c != '\t')
            return "a raw control byte written: " + text;
    }
    return "";
}

// What the driver writes of `result`, checked as the table and the report must be.
inline std::string check_written(const AnalysisResult& result, const AnalysisSettings& settings,
                                 const RootInput& in) {
    std::ostringstream row, rows, err;
    TableRow table = table_row(result, "f", 1, in.prefix);
    table.controls = in.standard;
    write_table_row(row, table);
    const std::string line = row.str();
    if (std::count(line.begin(), line.end(), '\t') !=
        std::count(table_header().begin(), table_header().end(), '\t'))
        return "a table row without the header's fields: " + line;
    std::string verdict = check_lines(line, in.standard);
    if (!verdict.empty()) return verdict;
    if (result.set_aside) write_set_aside(err, result.outliers.names, in.standard);
    if (result.status == TreeStatus::kNoRoot)
        write_no_root(err, settings.root.text, "f", in.standard);
    write_rows(rows, in.prefix, result.sisters, result.support, in.standard);
    const std::string written = rows.str();
    if (std::count(written.begin(), written.end(), '\n') !=
        static_cast<std::ptrdiff_t>(result.sisters.size()))
        return "a row that is not one line: " + written;
    verdict = check_lines(written, in.standard);
    return verdict.empty() ? check_lines(err.str(), in.standard) : verdict;
}

inline std::string check_analysis(std::unique_ptr<Phylogeny>& tree,
                                  const AnalysisSettings& settings, const RootInput& in) {
    AnalysisNeeds needs;
    needs.outliers = in.table;
    needs.picture = in.picture;
    AnalysisSettings bounded = settings;
    bounded.max_outliers = in.bound;
    const AnalysisResult result = analyse(*tree, bounded, needs);
    const std::string links = tree_check::check_links(tree->root);
    if (!links.empty()) return "the analysed tree: " + links;
    if ((result.status == TreeStatus::kNoRoot) != result.root.empty())
        return "no-root and an entry named";
    if (result.set_aside &&
        (result.outliers.names.empty() || result.outliers.names.size() > in.bound))
        return "leaves set aside outside the bound";
    if (in.picture) {
        const PictureSource source{"f", 1, false, "T", ""};
        const std::string svg =
            draw_picture(*tree, result, bounded, source, PictureIdentity(source));
        if (svg.find("<svg") == std::string::npos || svg.find("</svg>") == std::string::npos)
            return "a picture that is not an SVG document";
    }
    return check_written(result, bounded, in);
}

inline std::string check_root_input(const uint8_t* data, std::size_t size) {
    const RootInput in = split_root_input(data, size);
    AnalysisSettings settings;
    settings.prefix = in.prefix;
    if (!parse_root_list(in.list, settings.root) && !parse_root_list("midpoint", settings.root))
        return "the list midpoint refused";
    if (!Analysis(settings).pattern_error().empty()) return "";
    if (in.with_groups) {
        if (!tavrin_fuzz::ScratchGroupFile::get().write(in.groups)) return "";
        if (settings.groups.load(tavrin_fuzz::ScratchGroupFile::get().path(), 100000) !=
            GroupRelations::LoadResult::kLoaded)
            return "";
    }
    ReadOptions options;
    if (in.standard) options.dialect = Dialect::kStandard;
    const tavrin_fuzz::CaptureStderr quiet;
    TreeReader reader(in.tree, options);
    std::optional<TreeRead> read = reader.next();
    if (!read.has_value() || read->tree == nullptr) return "";
    std::string verdict =
        settings.root.outgroups == nullptr ? "" : check_root_list(*read->tree, settings);
    if (!verdict.empty()) return verdict;
    return check_analysis(read->tree, settings, in);
}

}  // namespace root_checks

}  // namespace tavrin

#endif  // TAVRIN_TESTS_SUPPORT_ROOT_CHECKS_H
