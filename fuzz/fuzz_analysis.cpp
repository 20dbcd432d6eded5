// libFuzzer target: the whole sister-clade analysis on a fuzzed tree, search prefix, flags and
// group file, run the way the driver runs it; then the same tree with its outliers described,
// as --table and --outliers K run it.
//
// Byte 0 carries, beside the flags of the analysis input (bits 0 to 2), the writer and the
// bound: bit 3 asks for the table instead of the report, bits 6 and 7 give K (0 to 3). The seeds
// ('0' to '7') run the report with K = 0.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <sstream>
#include <string>
#include <string_view>

#include "analysis/group_file_checks.h"
#include "analysis/pipeline.h"
#include "driver/tree_work.h"
#include "fuzz_verdict.h"
#include "output/report.h"
#include "output/table_format.h"
#include "support/input_checks.h"
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
    tavrin::TreeReader reader(in.tree_text);
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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    stop_on_verdict("fuzz_analysis", tavrin_fuzz::check_analysis_input(data, size));
    stop_on_verdict("fuzz_analysis", check_outlier_analysis(data, size), "outliers: ");
    return 0;
}

}  // namespace tavrin
