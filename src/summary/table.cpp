#include "summary/table.h"

#include <algorithm>
#include <locale>
#include <sstream>

#include "draw/xml_text.h"
#include "output/escapes.h"

namespace tavrin::summary {

std::string format_double(double value) {
    std::ostringstream text;
    text.imbue(std::locale::classic());
    text << value;
    return text.str();
}

std::string format_share(std::size_t trees, std::size_t total) {
    if (total == 0) return "0.000";
    // Thousandths, rounded half up, in integers: exact for any count. Counts stay far below
    // the range where 2000 * trees could overflow 64 bits.
    const unsigned long long thousandths =
        (2000ULL * trees + total) / (2ULL * static_cast<unsigned long long>(total));
    std::string fraction = std::to_string(thousandths % 1000);
    fraction.insert(0, 3 - fraction.size(), '0');
    return std::to_string(thousandths / 1000) + "." + fraction;
}

std::string names_listed(const std::vector<std::string_view>& first, std::size_t count,
                         std::size_t most, const std::string& what,
                         std::string (*show)(std::string_view)) {
    std::string text;
    const std::size_t shown = count <= most + 1 ? count : most;
    for (std::size_t i = 0; i < shown; ++i) {
        if (i > 0) text += (i + 1 == count) ? " and " : ", ";
        text += show(first[i]);
    }
    if (shown < count) text += " and " + std::to_string(count - shown) + " more " + what;
    return text;
}

std::string shown_in_title(std::string_view name) {
    return xml_text(name, 40);
}

void append_name(std::string& block, std::string_view name, NameText text) {
    if (text == NameText::kStream) {
        const bool plain = std::none_of(name.begin(), name.end(), [](char c) {
            return static_cast<unsigned char>(c) < 0x20 || c == 0x7f;
        });
        if (plain)
            block.append(name.data(), name.size());
        else
            block += tavrin::shown_controls(name);
        return;
    }
    if (name.find_first_of("\t\n") == std::string::npos) {
        block += name;
        return;
    }
    for (const char c : name) {
        if (c == '\t')
            block += "\\t";
        else if (c == '\n')
            block += "\\n";
        else
            block += c;
    }
}

std::string group_name(const TreeGroup& group, const Grouping& grouping, NameText text) {
    std::string name;
    const auto add = [&name, text](Column column, const std::string& value) {
        if (!name.empty()) name += ", ";
        name += column_name(column);
        name += ' ';
        if (value.empty())
            name += "(none)";
        else
            append_name(name, value, text);
    };
    if (grouping.by_label) add(Column::kLabel, group.label);
    if (grouping.by_file) add(Column::kFile, group.file);
    if (grouping.by_target) add(Column::kTarget, group.target);
    return name;
}

void write_table(std::ostream& out, const std::vector<PairSummary>& rows, const Grouping& by) {
    // Lines are put together in one buffer and written in large blocks. Only the median goes
    // through a stream (its format is the stream's), one stream in the classic locale for all.
    std::ostringstream number;
    number.imbue(std::locale::classic());
    std::string block = by.by_label ? std::string(column_name(Column::kLabel)) + '\t' : "";
    if (by.by_file) block += std::string(column_name(Column::kFile)) + '\t';
    block += "target\tsister\ttrees\tshare\tsupported\tmedian_support\n";
    for (const PairSummary& row : rows) {
        if (by.by_label) {
            append_name(block, row.label);
            block += '\t';
        }
        if (by.by_file) {
            append_name(block, row.file);
            block += '\t';
        }
        append_name(block, row.target);
        block += '\t';
        append_name(block, row.sister);
        block += '\t' + std::to_string(row.trees) + '\t' + format_share(row.trees, row.share_of) +
                 '\t' + std::to_string(row.supported) + '\t';
        if (row.has_median) {
            number.str(std::string());
            number << row.median;
            block += number.str();
        } else {
            block += "n/a";
        }
        block += '\n';
        if (block.size() >= (1u << 16)) {
            out << block;
            block.clear();
        }
    }
    out << block;
}

}  // namespace tavrin::summary
