#include "output/table_format.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <sstream>
#include <string>

namespace tavrin {
namespace {

constexpr const char* kStatusNames[kTreeStatusCount] = {
    "sisters",   "unnamed",   "not-a-clade", "no-target",  "whole-tree",
    "malformed", "ambiguous", "no-root",     "unreadable",
};

constexpr const char* kColumnNames[kColumnCount] = {
    "file",           "tree",    "target",   "status",        "sister1",
    "sister2",        "support", "rerooted", "target_leaves", "outliers",
    "outlier_leaves", "root",    "strays",   "root_strays",   "label",
};

// The tables readers accept end with one of these columns.
constexpr Column kLastColumns[] = {Column::kOutlierLeaves, Column::kRoot, Column::kStrays,
                                   Column::kRootStrays, Column::kLabel};

constexpr char kHexDigits[] = "0123456789abcdef";

// Is `c` a control byte that the table writes as \xHH when asked?
bool is_other_control(char c) {
    const auto byte = static_cast<unsigned char>(c);
    return (byte < 0x20 || byte == 0x7f) && c != '\t' && c != '\n';
}

// The value of the hexadecimal digit `c`, or -1.
int hex_value(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Appends `text` escaped as write_escaped writes it.
void append_escaped(std::string& line, std::string_view text, bool in_list, bool controls) {
    std::size_t plain = 0;  // the first byte not appended yet
    char hex[] = "\\x00";
    // The bytes that may be escaped: control bytes, the backslash and the comma. Most bytes
    // are none of them: one look in the table lets them by.
    static constexpr auto kMayEscape = [] {
        std::array<bool, 256> may{};
        for (int byte = 0; byte < 0x20; ++byte)
            may[byte] = true;
        may[0x7f] = may['\\'] = may[','] = true;
        return may;
    }();
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        const auto byte = static_cast<unsigned char>(c);
        if (!kMayEscape[byte]) continue;
        const char* escaped = c == '\t'                         ? "\\t"
                              : c == '\n'                       ? "\\n"
                              : c == '\\'                       ? "\\\\"
                              : c == ',' && in_list             ? "\\,"
                              : controls && is_other_control(c) ? hex
                                                                : nullptr;
        if (escaped == nullptr) continue;
        if (escaped == hex) {
            hex[2] = kHexDigits[byte >> 4];
            hex[3] = kHexDigits[byte & 0xf];
        }
        line.append(text.data() + plain, i - plain);
        line += escaped;
        plain = i + 1;
    }
    line.append(text.data() + plain, text.size() - plain);
}

void append_names(std::string& line, const std::vector<std::string>* names, bool controls) {
    if (names == nullptr) return;
    const char* separator = "";
    for (const std::string& name : *names) {
        line += separator;
        append_escaped(line, name, true, controls);
        separator = ",";
    }
}

void append_count(std::string& line, std::size_t count) {
    char digits[24];
    const auto end = std::to_chars(digits, digits + sizeof digits, count).ptr;
    line.append(digits, end);
}

// Writes the six digits `digits` (100000 to 999999) of a value scaled by 10^`scale` (0 to 9) as
// "%g" does: the point where it falls, no trailing zero after it.
void append_six_digits(std::string& line, long digits, int scale) {
    char text[6];
    for (int i = 5; i >= 0; --i, digits /= 10)
        text[i] = static_cast<char>('0' + digits % 10);
    const int whole = 6 - scale;           // digits before the point; 0 or fewer: a value below 1
    const int first = std::max(whole, 0);  // the first digit after the point
    int end = 6;  // past the last digit after the point that is not a trailing zero
    while (end > first && text[end - 1] == '0')
        --end;
    if (whole > 0) {
        line.append(text, static_cast<std::size_t>(whole));
    } else {
        line += '0';
    }
    if (end == first) return;
    line += '.';
    line.append(static_cast<std::size_t>(first - whole), '0');
    line.append(text + first, static_cast<std::size_t>(end - first));
}

// Appends `value` as a stream in its default state writes a double (printf's "%.6g"). A whole
// value below a million is its digits; another from 1e-4 up is rounded to six significant digits
// here (most supports are such fractions), unless its digits after the sixth come close to a
// tie; anything else goes through the C library.
void append_double(std::string& line, double value) {
    if (value > 0 && value < 1e6 && value == static_cast<double>(static_cast<long>(value))) {
        append_count(line, static_cast<std::size_t>(value));
        return;
    }
    if (value >= 1e-4 && value < 1e6) {
        constexpr double kPowers[] = {1, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9};
        int scale = 0;
        while (scale < 9 && value * kPowers[scale] < 1e5)
            ++scale;
        // Within 1e-10 of the exact product: only a fraction that close to one half could
        // round the other way.
        const double scaled = value * kPowers[scale];
        long digits = static_cast<long>(scaled);
        const double fraction = scaled - static_cast<double>(digits);
        if (fraction > 0.5) ++digits;
        if (digits == 1000000) {
            digits = 100000;
            --scale;
        }
        if (std::abs(fraction - 0.5) > 1e-9 && scale >= 0 && digits >= 100000) {
            append_six_digits(line, digits, scale);
            return;
        }
    }
    char number[64];
    const int length = std::snprintf(number, sizeof number, "%.*g", 6, value);
    line.append(number, static_cast<std::size_t>(std::max(length, 0)));
}

void append_support(std::string& line, const SupportCell& support) {
    if (support.applies) {
        append_double(line, support.value);
    } else {
        line += "n/a";
    }
}

}  // namespace

void write_escaped(std::ostream& out, std::string_view text, bool in_list, bool controls) {
    std::string line;
    append_escaped(line, text, in_list, controls);
    out << line;
}

std::string escape_field(std::string_view text, bool controls) {
    std::string escaped;
    append_escaped(escaped, text, false, controls);
    return escaped;
}

const char* status_name(TreeStatus status) {
    return kStatusNames[static_cast<std::size_t>(status)];
}

std::optional<TreeStatus> status_named(std::string_view text) {
    for (std::size_t i = 0; i < kTreeStatusCount; ++i) {
        if (text == kStatusNames[i]) return static_cast<TreeStatus>(i);
    }
    return std::nullopt;
}

std::string status_names_listed() {
    std::string listed;
    for (std::size_t i = 0; i < kTreeStatusCount; ++i) {
        if (i > 0) listed += i + 1 == kTreeStatusCount ? " or " : ", ";
        listed += kStatusNames[i];
    }
    return listed;
}

const char* column_name(Column column) {
    return kColumnNames[static_cast<std::size_t>(column)];
}

const std::string& table_header() {
    static const std::string header = [] {
        std::string line;
        for (std::size_t i = 0; i < kColumnCount; ++i) {
            if (i > 0) line += '\t';
            line += kColumnNames[i];
        }
        return line;
    }();
    return header;
}

std::optional<TableLayout> TableLayout::of_header(std::string_view line) {
    for (const Column last : kLastColumns) {
        const std::size_t width = static_cast<std::size_t>(last) + 1;
        std::size_t length = width - 1;  // the tabs
        for (std::size_t i = 0; i < width; ++i)
            length += std::string_view(kColumnNames[i]).size();
        if (line == std::string_view(table_header()).substr(0, length))
            return TableLayout(width, false);
    }
    static const std::string without_root_strays = [] {
        const std::string& header = table_header();
        const std::string root_strays = std::string("\t") + column_name(Column::kRootStrays);
        return header.substr(0, header.find(root_strays)) +
               header.substr(header.find(root_strays) + root_strays.size());
    }();
    if (line == without_root_strays) return TableLayout(kColumnCount - 1, true);
    return std::nullopt;
}

std::size_t TableFields::split(std::string_view line, const TableLayout* layout) {
    fields_.fill(std::string_view());
    std::size_t count = 0;
    for (std::size_t start = 0;; ++count) {
        const std::size_t tab = line.find('\t', start);
        if (count < kColumnCount) fields_[count] = line.substr(start, tab - start);
        if (tab == std::string_view::npos) break;
        start = tab + 1;
    }
    if (layout != nullptr && layout->without_root_strays()) {
        // The label stands where root_strays stands now.
        auto& at = fields_[static_cast<std::size_t>(Column::kRootStrays)];
        fields_[static_cast<std::size_t>(Column::kLabel)] = at;
        at = std::string_view();
    }
    return count + 1;
}

bool unescape_field(std::string_view field, std::string& out) {
    out.clear();
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] != '\\') {
            out.push_back(field[i]);
            continue;
        }
        if (++i == field.size()) return false;
        const char escaped = field[i];
        if (escaped == 'x') {
            if (i + 2 >= field.size()) return false;
            const int high = hex_value(field[i + 1]), low = hex_value(field[i + 2]);
            if (high < 0 || low < 0) return false;
            out.push_back(static_cast<char>(high << 4 | low));
            i += 2;
            continue;
        }
        if (escaped != 't' && escaped != 'n' && escaped != '\\' && escaped != ',') return false;
        out.push_back(escaped == 't' ? '\t' : escaped == 'n' ? '\n' : escaped);
    }
    return true;
}

void write_support(std::ostream& out, const SupportCell& support) {
    std::string text;
    append_support(text, support);
    out << text;
}

void write_table_row(std::ostream& out, const TableRow& row) {
    std::string line;
    append_table_row(line, row);
    out.write(line.data(), static_cast<std::streamsize>(line.size()));
}

void append_row_key(std::string& line, std::string_view file, std::size_t tree, bool controls) {
    append_escaped(line, file, false, controls);
    line += '\t';
    append_count(line, tree);
    line += '\t';
}

void append_table_row(std::string& line, const TableRow& row) {
    // Room for a common row at once, rather than growing cell by cell; doubled, so that a
    // text of many rows grows in a few steps whatever the library's reserve does.
    constexpr std::size_t kRowRoom = 256;
    if (line.capacity() - line.size() < kRowRoom)
        line.reserve(std::max(line.size() + kRowRoom, 2 * line.capacity()));
    const bool controls = row.controls;
    if (row.key_cells.empty()) {
        append_row_key(line, row.file, row.tree, controls);
    } else {
        line += row.key_cells;
    }
    append_escaped(line, row.target, false, controls);
    line += '\t';
    line += status_name(row.status);
    const std::size_t sisters = row.sisters == nullptr ? 0 : row.sisters->size();
    for (std::size_t i = 0; i < 2; ++i) {
        line += '\t';
        if (i < sisters) append_escaped(line, (*row.sisters)[i], false, controls);
    }
    line += '\t';
    if (sisters > 0) append_support(line, row.support);
    line += '\t';
    if (row.rerooted.has_value()) line += *row.rerooted ? '1' : '0';
    for (const std::optional<std::size_t>& count : {row.target_leaves, row.outliers}) {
        line += '\t';
        if (count.has_value()) append_count(line, *count);
    }
    line += '\t';
    append_names(line, row.outlier_leaves, controls);
    line += '\t';
    append_escaped(line, row.root, false, controls);
    line += '\t';
    append_names(line, row.strays, controls);
    line += '\t';
    append_names(line, row.root_strays, controls);
    line += '\t';
    append_escaped(line, row.label, false, controls);
    line += '\n';
}

}  // namespace tavrin
