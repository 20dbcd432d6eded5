#include "summary/tree_table.h"

#include <charconv>
#include <cstddef>
#include <limits>
#include <optional>
#include <utility>

#include "output/escapes.h"
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

bool parse_tree_table_row(std::string_view line, const TableLayout& layout, TreeRecord& row,
                          std::string& problem) {
    if (line.size() >= std::numeric_limits<std::uint32_t>::max()) {
        problem = "table row of 4 GiB or more";
        return false;
    }
    TableFields fields;
    const std::size_t count = fields.split(line, &layout);
    if (count != layout.width()) {
        problem = "table row with " + counted(count, "field", "fields") + ", " +
                  std::to_string(layout.width()) + " expected";
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
         {std::pair{Column::kFile, &row.file}, std::pair{Column::kTarget, &row.target},
          std::pair{Column::kSister1, &row.sister1}, std::pair{Column::kSister2, &row.sister2},
          std::pair{Column::kLabel, &row.label}}) {
        if (!unescape_column(fields[column], column_name(column), *out, problem)) return false;
    }
    const std::string_view tree = fields[Column::kTree];
    const char* const end = tree.data() + tree.size();
    if (tree.empty() || std::from_chars(tree.data(), end, row.tree).ptr != end) row.tree = 0;
    row.line.assign(line);
    for (std::size_t i = 0; i < kColumnCount; ++i) {
        const std::string_view field = fields[static_cast<Column>(i)];
        // A column the row lacks is an empty view of nothing: it starts at the line's end.
        const std::size_t start = field.data() == nullptr || field.empty()
                                      ? line.size()
                                      : static_cast<std::size_t>(field.data() - line.data());
        row.starts_[i] = static_cast<std::uint32_t>(start);
        row.ends_[i] = static_cast<std::uint32_t>(start + field.size());
    }
    return true;
}

}  // namespace tavrin::summary
