// libFuzzer target: the whole sister-clade analysis on a fuzzed tree, search prefix, flags and
// group file, run the way the driver runs it; then the same tree with its outliers described,
// as --table and --outliers K run it; then the tree analysed for several targets in turn, as
// --targets runs it.
//
// Byte 0 carries, beside the flags of the analysis input (bits 0 to 2), the writer and the
// bound: bit 3 asks for the table instead of the report, bits 6 and 7 give K (0 to 3); bits 4
// and 5 root the several targets' tree at its midpoint and name with a purity below 1. The
// seeds ('0' to '7') run the report with K = 0.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>

#include "analysis/group_file_checks.h"
#include "analysis/pipeline.h"
#include "analysis/root_list.h"
#include "driver/tree_work.h"
#include "fuzz_verdict.h"
#include "output/report.h"
#include "output/table_format.h"
#include "support/input_checks.h"
#include "tree/tree_changes.h"
#include "tree/tree_reader.h"

namespace tavrin {

namespace {

using tavrin::AnalysisResult;
using tavrin::TreeStatus;

bool same_answer(const AnalysisResult& a, const AnalysisResult& b) {
    return a.status == b.status && a.sisters == b.sisters && a.rerooted == b.rerooted &&
           a.support.applies == b.support.applies &&
           (a.sisters.empty() || a.support.value == b.support.value ||
            (std::isnan(a.support.value) && std::isnan(b.support.value))) &&
           a.target_leaves == b.target_leaves;
}

// What the outliers must satisfy, whatever the tree.
std::string check_outliers(const AnalysisResult& result, std::size_t bound) {
    const tavrin::OutlierSummary& outliers = result.outliers;
    const std::size_t count = outliers.count.value_or(0);
    if (!outliers.count.has_value() && (outliers.ambiguous || !outliers.names.empty())) {
        return "a set described where none exists";
    }
    if (!outliers.ambiguous && outliers.names.size() != count) return "set size is not its count";
    if (outliers.ambiguous && !outliers.names.empty()) return "an ambiguous set is named";
    if (result.set_aside && (count == 0 || count > bound || outliers.ambiguous)) {
        return "leaves set aside outside the bound";
    }
    if (result.status == TreeStatus::kAmbiguous &&
        (!outliers.ambiguous || count == 0 || count > bound)) {
        return "ambiguous outside the bound";
    }
    return "";
}

// The group file's warnings: one line each, at most the ones shown and the count of the rest.
std::string check_group_file_warnings(const tavrin::GroupFileChecks& checks) {
    std::ostringstream err;
    checks.write(err, "g");
    const std::string text = err.str();
    if (!text.empty() && text.back() != '\n') return "a warning without its line break";
    std::istringstream in(text);
    std::size_t lines = 0;
    for (std::string line; std::getline(in, line); ++lines) {
        if (line.rfind("Warning: g:", 0) != 0) return "a group file warning that is not one line";
    }
    if (lines > tavrin::GroupFileChecks::kShown + 1) return "more group file warnings than shown";
    if ((lines == 0) != (checks.count() == 0)) return "group file warnings counted but not shown";
    return "";
}

// One row of the table: as many fields as the header and one line break, at its end.
std::string check_table_row(const std::string& row) {
    const auto tabs_in = [](std::string_view text) {
        return std::count(text.begin(), text.end(), '\t');
    };
    if (tabs_in(row) != tabs_in(tavrin::table_header())) {
        return "a table row without the header's fields: " + row;
    }
    if (row.find('\n') != row.size() - 1) return "a table row that is not one line: " + row;
    return "";
}

std::string check_outlier_analysis(const uint8_t* data, size_t size) {
    if (size == 0) return "";
    const auto byte = static_cast<unsigned>(data[0]);
    const bool table = (byte & 8u) != 0;
    const std::size_t bound = (byte >> 6) & 3u;
    const tavrin_fuzz::AnalysisInput in = tavrin_fuzz::split_analysis_input(data, size);
    tavrin::AnalysisSettings settings;
    settings.prefix = in.prefix;
    settings.use_regex = in.use_regex;
    if (!tavrin::Analysis(settings).pattern_error().empty()) return "";
    if (in.with_group_file && !in.unreadable_group_file) {
        tavrin::GroupFileChecks checks;
        if (settings.groups.load(tavrin_fuzz::ScratchGroupFile::get().path(),
                                 GroupRelations::kMaxPairs,
                                 &checks) != GroupRelations::LoadResult::kLoaded) {
            return "";
        }
        const std::string warnings = check_group_file_warnings(checks);
        if (!warnings.empty()) return warnings;
    }
    const tavrin_fuzz::CaptureStderr quiet;
    // Read compact, as the programs read big trees; `again` below is the model's tree.
    tavrin::ReadOptions compact;
    compact.compact_from = 0;
    tavrin::TreeReader reader(in.tree_text, compact);
    std::unique_ptr<Phylogeny> tree = std::move(reader.next()->tree);
    std::ostringstream out;
    if (tree == nullptr) {
        tavrin::TableRow malformed;
        malformed.file = "f";
        malformed.target = in.prefix;
        tavrin::write_table_row(out, malformed);
        return table ? check_table_row(out.str()) : "";
    }
    tavrin::AnalysisSettings bounded = settings;
    bounded.max_outliers = bound;
    tavrin::AnalysisNeeds needs;
    needs.outliers = true;
    const AnalysisResult result = tavrin::analyse(*tree, bounded, needs);
    std::string verdict = check_outliers(result, bound);
    if (!verdict.empty()) return verdict;
    if (bound == 0 || !result.set_aside) {
        Phylogeny again(in.tree_text);
        if (result.status != TreeStatus::kAmbiguous &&
            !same_answer(result, tavrin::analyse_tree(again, settings))) {
            return "describing the outliers changed the answer";
        }
    }
    if (!table) {
        if (result.set_aside) tavrin::write_set_aside(out, result.outliers.names);
        tavrin::write_status_message(out, result.status);
        tavrin::write_rows(out, in.prefix, result.sisters, result.support);
        // Escaped, every row is one line whatever the names hold.
        std::ostringstream escaped;
        tavrin::write_rows(escaped, in.prefix, result.sisters, result.support, true);
        const std::string rows = escaped.str();
        if (static_cast<std::size_t>(std::count(rows.begin(), rows.end(), '\n')) !=
            result.sisters.size()) {
            return "an escaped row that is not one line: " + rows;
        }
        return "";
    }
    tavrin::write_table_row(out, tavrin::table_row(result, "f", 1, in.prefix));
    return check_table_row(out.str());
}

// The answers of two analyses of one tree, as the outputs show them.
std::string differs(const AnalysisResult& a, const AnalysisResult& b) {
    if (!same_answer(a, b)) return "the answer";
    if (a.outliers.count != b.outliers.count || a.outliers.ambiguous != b.outliers.ambiguous ||
        a.outliers.names != b.outliers.names || a.set_aside != b.set_aside) {
        return "the outliers";
    }
    if (a.root != b.root || a.strays != b.strays || a.root_strays != b.root_strays) {
        return "the root or the strays";
    }
    return "";
}

// Several targets on one tree, as --targets runs them: each analysis but the last keeps its
// changes and undoes them, and the analyses share what does not depend on the target. Each
// must answer what the target's analysis of a tree of its own answers. The targets are the
// prefix, its first byte and the first leaf's prefix; byte 0's bit 4 roots at the midpoint and
// bit 5 names with a purity of 0.8.
std::string check_several_targets(const uint8_t* data, size_t size) {
    if (size == 0) return "";
    const auto byte = static_cast<unsigned>(data[0]);
    const tavrin_fuzz::AnalysisInput in = tavrin_fuzz::split_analysis_input(data, size);
    if (in.with_group_file) return "";  // the group file's own checks run above
    const tavrin_fuzz::CaptureStderr quiet;
    tavrin::TreeReader reader(in.tree_text);
    std::unique_ptr<Phylogeny> tree = std::move(reader.next()->tree);
    if (tree == nullptr || tree->root == nullptr) return "";
    const Phylogeny_Node* first = tree->root;
    while (!first->is_leaf && first->left != nullptr)
        first = first->left;
    const std::string targets[] = {in.prefix, in.prefix.substr(0, 1),
                                   std::string(leaf_prefix(first->name, '-'))};
    tavrin::AnalysisSettings settings;
    settings.use_regex = in.use_regex;
    settings.max_outliers = (byte >> 6) & 3u;
    if ((byte & 16u) != 0) parse_root_list("midpoint", settings.root);
    if ((byte & 32u) != 0) settings.purity = 0.8;
    tavrin::AnalysisNeeds needs;
    needs.outliers = (byte & 8u) != 0;
    SharedAnalyses shared;
    for (std::size_t i = 0; i < 3; ++i) {
        settings.prefix = targets[i];
        const tavrin::Analysis analysis(settings);
        if (!analysis.pattern_error().empty()) continue;
        std::optional<TreeChanges> changes;
        if (i < 2) changes.emplace(*tree);
        const AnalysisResult result =
            tavrin::analyse(*tree, analysis, needs, changes ? &*changes : nullptr, &shared);
        tavrin::TreeReader again(in.tree_text);
        std::unique_ptr<Phylogeny> alone = std::move(again.next()->tree);
        const std::string what = differs(result, tavrin::analyse(*alone, analysis, needs));
        if (!what.empty()) return what + " of target " + std::to_string(i + 1) + " differs";
        if (changes) changes->undo();
    }
    return "";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    stop_on_verdict("fuzz_analysis", tavrin_fuzz::check_analysis_input(data, size));
    stop_on_verdict("fuzz_analysis", check_outlier_analysis(data, size), "outliers: ");
    stop_on_verdict("fuzz_analysis", check_several_targets(data, size), "several targets: ");
    return 0;
}

}  // namespace tavrin
