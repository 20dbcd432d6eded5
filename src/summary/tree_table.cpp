#include "summary/tree_table.h"

#include <cstddef>
#include <optional>
#include <utility>

#include "summary/support_field.h"

namespace tavrin::summary {

namespace {

bool unescape_column(std::string_view field, const char* column, std::string& out,
                     std::string& problem) {
    if (unescape_field(field, out)) return true;
    problem = std::string("a backslash in the ") + column +
              " column starts none of the escapes \\t \\n \\\\ \\,";
    return false;
}

}  // namespace

bool parse_tree_table_row(std::string_view line, const TableLayout& layout, TreeTableRow& row,
                          std::string& problem) {
    TableFields fields;
    const std::size_t count = fields.split(line, &layout);
    if (count != layout.width()) {
        problem = "table row with " + std::to_string(count) + (count == 1 ? " field" : " fields") +
                  ", " + std::to_string(layout.width()) + " expected";
        return false;
    }
    const std::optional<TreeStatus> status = status_named(fields[Column::kStatus]);
    if (!status.has_value()) {
        problem = "unknown status '" + std::string(fields[Column::kStatus].substr(0, 40)) + "' (" +
                  status_names_listed() + " expected)";
        return false;
    }
    row.status = *status;
    row.has_sister = row.status == TreeStatus::kSisters;
    if (row.has_sister && fields[Column::kSister1].empty()) {
        problem = std::string("status '") + status_name(TreeStatus::kSisters) + "' with an empty " +
                  column_name(Column::kSister1);
        return false;
    }
    if (!row.has_sister &&
        (!fields[Column::kSister1].empty() || !fields[Column::kSister2].empty())) {
        problem = "status '" + std::string(status_name(row.status)) + "' with a sister";
        return false;
    }
    row.support = Support{};
    if (row.has_sister && !parse_support(fields[Column::kSupport], row.support, problem))
        return false;
    row.has_strays = row.has_sister && !fields[Column::kStrays].empty();
    for (const auto& [column, out] :
         {std::pair{Column::kTarget, &row.target}, std::pair{Column::kSister1, &row.sister1},
          std::pair{Column::kSister2, &row.sister2}, std::pair{Column::kLabel, &row.label}}) {
        if (!unescape_column(fields[column], column_name(column), *out, problem)) return false;
    }
    return true;
}

}  // namespace tavrin::summary
