#include "analysis/table.h"

#include "analysis/escapes.h"
#include "analysis/report.h"

namespace tavrin {

const char* status_name(Outcome outcome) {
    switch (outcome) {
        case Outcome::kSisters:
            return "sisters";
        case Outcome::kUnnamed:
            return "unnamed";
        case Outcome::kNotAClade:
            return "not-a-clade";
        case Outcome::kNoTargetLeaf:
            return "no-target";
        case Outcome::kWholeTree:
            return "whole-tree";
        case Outcome::kAmbiguous:
            return "ambiguous";
        case Outcome::kNoRoot:
            return "no-root";
    }
    return "";
}

namespace {

// The columns after the status of a tree that was not analysed: all empty.
constexpr const char* kEmptyAnswer = "\t\t\t\t\t\t\t\t\n";

// The first three columns and the status.
void write_key(std::ostream& out, const TableRowKey& key, const char* status) {
    write_escaped(out, key.file, false);
    out << '\t' << key.tree << '\t';
    write_escaped(out, key.target, false);
    out << '\t' << status;
}

// sister1, sister2, support and rerooted: those of a tree whose target clade was found.
void write_answer(std::ostream& out, const AnalysisResult& result) {
    const bool found = result.outcome == Outcome::kSisters || result.outcome == Outcome::kUnnamed;
    for (std::size_t i = 0; i < 2; ++i) {
        out << '\t';
        if (i < result.sisters.size()) write_escaped(out, result.sisters[i], false);
    }
    out << '\t';
    if (!result.sisters.empty()) write_support(out, result);
    out << '\t';
    if (found) out << (result.rerooted ? '1' : '0');
}

void write_outliers(std::ostream& out, const OutlierSummary& outliers) {
    out << '\t';
    if (outliers.count.has_value()) out << *outliers.count;
    out << '\t';
    const char* separator = "";
    for (const std::string& name : outliers.names) {
        out << separator;
        write_escaped(out, name, true);
        separator = ",";
    }
}

}  // namespace

void write_table_header(std::ostream& out) {
    out << kTableHeader << '\n';
}

void write_table_row(std::ostream& out, const TableRowKey& key, const AnalysisResult& result) {
    write_key(out, key, status_name(result.outcome));
    write_answer(out, result);
    out << '\t' << result.target_leaves;
    write_outliers(out, result.outliers);
    out << '\t';
    write_escaped(out, result.root, false);
    out << '\n';
}

void write_malformed_row(std::ostream& out, const TableRowKey& key) {
    write_key(out, key, "malformed");
    out << kEmptyAnswer;
}

void write_unreadable_row(std::ostream& out, const TableRowKey& key) {
    write_key(out, key, "unreadable");
    out << kEmptyAnswer;
}

}  // namespace tavrin
