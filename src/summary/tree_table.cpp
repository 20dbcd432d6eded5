#include "summary/tree_table.h"

#include <array>
#include <cstddef>
#include <utility>

#include "summary/support_field.h"

namespace tavrin::summary {

namespace {

constexpr std::size_t kColumns = kTreeTableColumns;
enum Column {
    kFile = 0,
    kTree = 1,
    kTarget = 2,
    kStatus = 3,
    kSister1 = 4,
    kSister2 = 5,
    kSupport = 6,
    kOutliers = 9
};

// Splits `line` at its tabs into the first kColumns fields; the number of fields it holds.
std::size_t split_columns(std::string_view line, std::array<std::string_view, kColumns>& fields) {
    for (std::size_t count = 0, start = 0;; ++count) {
        const std::size_t tab = line.find('\t', start);
        if (count < kColumns) fields[count] = line.substr(start, tab - start);
        if (tab == std::string_view::npos) return count + 1;
        start = tab + 1;
    }
}

// The status named `text`; false when it names none.
bool read_status(std::string_view text, TreeTableRow& row) {
    row.has_sister = text == "sisters";
    if (row.has_sister) return true;
    for (std::size_t i = 0; i < kTreeStatusCount; ++i) {
        const auto status = static_cast<TreeStatus>(i);
        if (text == status_name(status)) {
            row.status = status;
            return true;
        }
    }
    return false;
}

bool unescape_column(std::string_view field, const char* column, std::string& out,
                     std::string& problem) {
    if (unescape_field(field, out)) return true;
    problem = std::string("a backslash in the ") + column +
              " column starts none of the escapes \\t \\n \\\\ \\,";
    return false;
}

}  // namespace

bool unescape_field(std::string_view field, std::string& out) {
    out.clear();
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] != '\\') {
            out.push_back(field[i]);
            continue;
        }
        if (++i == field.size()) return false;
        const char escaped = field[i];
        if (escaped != 't' && escaped != 'n' && escaped != '\\' && escaped != ',') return false;
        out.push_back(escaped == 't' ? '\t' : escaped == 'n' ? '\n' : escaped);
    }
    return true;
}

TreeRecord read_tree_record(std::string_view line, std::size_t row) {
    std::array<std::string_view, kColumns> fields;
    split_columns(line, fields);
    TreeRecord record;
    record.row = row;
    const std::pair<Column, std::string*> wanted[] = {
        {kFile, &record.file},        {kTree, &record.tree},       {kStatus, &record.status},
        {kSister1, &record.sister1},  {kSister2, &record.sister2}, {kSupport, &record.support},
        {kOutliers, &record.outliers}};
    for (const auto& [column, out] : wanted) {
        if (!unescape_field(fields[column], *out)) out->assign(fields[column]);
    }
    return record;
}

bool parse_tree_table_row(std::string_view line, TreeTableRow& row, std::string& problem,
                          std::size_t columns) {
    std::array<std::string_view, kColumns> fields;
    const std::size_t count = split_columns(line, fields);
    if (count != columns) {
        problem = "table row with " + std::to_string(count) + (count == 1 ? " field" : " fields") +
                  ", " + std::to_string(columns) + " expected";
        return false;
    }
    if (!read_status(fields[kStatus], row)) {
        problem = "unknown status '" + std::string(fields[kStatus].substr(0, 40)) +
                  "' (sisters, unnamed, not-a-clade, no-target, whole-tree, malformed, "
                  "ambiguous, no-root or unreadable expected)";
        return false;
    }
    if (row.has_sister && fields[kSister1].empty()) {
        problem = "status 'sisters' with an empty sister1";
        return false;
    }
    if (!row.has_sister && (!fields[kSister1].empty() || !fields[kSister2].empty())) {
        problem = "status '" + std::string(status_name(row.status)) + "' with a sister";
        return false;
    }
    row.support = Support{};
    if (row.has_sister && !parse_support(fields[kSupport], row.support, problem)) return false;
    return unescape_column(fields[kTarget], "target", row.target, problem) &&
           unescape_column(fields[kSister1], "sister1", row.sister1, problem) &&
           unescape_column(fields[kSister2], "sister2", row.sister2, problem);
}

}  // namespace tavrin::summary
