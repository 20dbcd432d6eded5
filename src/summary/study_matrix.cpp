#include "summary/study_matrix.h"

#include <algorithm>
#include <numeric>

#include "draw/xml_text.h"
#include "output/escapes.h"
#include "output/table_format.h"
#include "summary/table.h"

namespace tavrin::summary {

namespace {

// The indices of the `most` lines with the most trees, in the order they first appeared.
template <typename Line>
std::vector<std::size_t> most_trees(const std::vector<Line>& lines, std::size_t most) {
    std::vector<std::size_t> order(lines.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    if (order.size() > most) {
        std::nth_element(
            order.begin(), order.begin() + static_cast<std::ptrdiff_t>(most), order.end(),
            [&lines](std::size_t a, std::size_t b) {
                return lines[a].trees != lines[b].trees ? lines[a].trees > lines[b].trees : a < b;
            });
        order.resize(most);
        std::sort(order.begin(), order.end());
    }
    return order;
}

// A share from 0 to 1 as a background: white to green.
std::string share_colour(std::size_t part, std::size_t whole) {
    const double share = whole == 0 ? 0 : static_cast<double>(part) / static_cast<double>(whole);
    const int lightness = 97 - static_cast<int>(share * 45 + 0.5);
    return "hsl(140,55%," + std::to_string(lightness) + "%)";
}

std::string attribute(const char* name, std::string_view value) {
    return std::string(" ") + name + "=\"" + xml_text(value) + "\"";
}

// A field as the table wrote it, its escapes undone (they were read once already).
std::string unescaped(std::string_view field) {
    std::string value;
    if (!unescape_field(field, value)) value.assign(field);
    return value;
}

}  // namespace

std::size_t StudyMatrix::index_of(std::unordered_map<std::string, std::size_t>& index,
                                  std::vector<Line>& lines, const std::string& key) {
    const auto [at, added] = index.emplace(key, lines.size());
    if (added) lines.emplace_back();
    return at->second;
}

void StudyMatrix::add(const TreeRecord& record) {
    // A row's key: its target, and its file by file.
    const std::string_view file = by_file_ ? std::string_view(record.file) : std::string_view();
    make_key(key_, std::string_view(), file, record.target);
    const std::size_t row = index_of(row_index_, rows_, key_);
    if (rows_[row].trees++ == 0) {
        rows_[row].target = record.field(Column::kTarget);
        if (by_file_) rows_[row].file = record.field(Column::kFile);
    }
    const std::size_t column = index_of(column_index_, columns_, record.label);
    if (columns_[column].trees++ == 0) columns_[column].target = record.field(Column::kLabel);
    Cell& cell = cells_[static_cast<std::uint64_t>(row) << 32 | column];
    ++cell.trees;
    if (!record.has_sister) return;
    Sister& sister = cell.sisters[record.sister1];
    ++sister.trees;
    if (record.support.numeric && record.support.value >= high_) ++sister.supported_high;
    if (record.support.numeric && record.support.value >= low_) ++sister.supported_low;
}

bool StudyMatrix::shown() const {
    return columns_.size() > 1 || rows_.size() > 1;
}

std::string StudyMatrix::cell_html(const Line& row, const Line& column, const Cell& cell,
                                   bool fractions) const {
    // The most frequent first sister; of two as frequent, the first in byte order.
    const std::pair<const std::string, Sister>* best = nullptr;
    for (const auto& entry : cell.sisters) {
        if (best == nullptr || entry.second.trees > best->second.trees ||
            (entry.second.trees == best->second.trees && entry.first < best->first))
            best = &entry;
    }
    std::string html =
        "<td" + attribute("data-target", row.target) + attribute("data-label", column.target);
    if (by_file_) html += attribute("data-file", row.file);
    const std::size_t trees = best == nullptr ? 0 : best->second.trees;
    html += " style=\"background:" + share_colour(trees, cell.trees) + "\" title=\"" +
            counted(cell.trees, "tree", "trees") + "\">";
    if (best == nullptr) return html + "<span class=\"sis\">no sister</span></td>";
    const std::size_t supported =
        fractions ? best->second.supported_low : best->second.supported_high;
    return html + "<span class=\"sis\">" + xml_text(best->first) + "</span> " +
           format_share(trees, cell.trees) + "<br><small>supported " +
           format_share(supported, trees) + " at " + format_double(fractions ? low_ : high_) +
           "</small></td>";
}

std::string StudyMatrix::html(const FractionScale& fractions) const {
    const std::vector<std::size_t> rows = most_trees(rows_, kStudyMost);
    const std::vector<std::size_t> columns = most_trees(columns_, kStudyMost);
    std::string html =
        "<h2>Study</h2>\n<p class=\"note\">Each cell: the most frequent first sister of the "
        "trees of its target and label, its share of them, and the share of those that are "
        "supported. Click a cell to list its trees.</p>\n";
    if (rows.size() < rows_.size() || columns.size() < columns_.size()) {
        html += "<p id=\"study-more\">Shown: the " + std::to_string(rows.size()) + " rows and " +
                std::to_string(columns.size()) + " columns with the most trees; " +
                std::to_string(rows_.size() - rows.size()) + " more rows and " +
                std::to_string(columns_.size() - columns.size()) + " more columns not shown.</p>\n";
    }
    html += "<div class=\"wide\"><table id=\"study\"><thead><tr>";
    if (by_file_) html += "<th>file</th>";
    html += "<th>target \\ label</th>";
    std::vector<std::string> labels;  // of the columns shown
    for (const std::size_t column : columns) {
        labels.push_back(unescaped(columns_[column].target));
        html += "<th>" + (labels.back().empty() ? std::string("(none)") : xml_text(labels.back())) +
                "</th>";
    }
    html += "</tr></thead><tbody>\n";
    for (const std::size_t row : rows) {
        const Line& line = rows_[row];
        const std::string file = unescaped(line.file), target = unescaped(line.target);
        html += "<tr>";
        if (by_file_) html += "<th>" + xml_text(file) + "</th>";
        html += "<th>" + xml_text(target) + "</th>";
        for (std::size_t shown = 0; shown < columns.size(); ++shown) {
            const std::size_t column = columns[shown];
            const auto at = cells_.find(static_cast<std::uint64_t>(row) << 32 | column);
            if (at == cells_.end()) {
                html += "<td></td>";
                continue;
            }
            html += cell_html(line, columns_[column], at->second,
                              fractions(labels[shown], file, target));
        }
        html += "</tr>\n";
    }
    return html + "</tbody></table></div>\n";
}

}  // namespace tavrin::summary
