#include "output/table_format.h"

#include <sstream>

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

void write_names(std::ostream& out, const std::vector<std::string>* names, bool controls) {
    if (names == nullptr) return;
    const char* separator = "";
    for (const std::string& name : *names) {
        out << separator;
        write_escaped(out, name, true, controls);
        separator = ",";
    }
}

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

template <typename T>
void write_optional(std::ostream& out, const std::optional<T>& value) {
    out << '\t';
    if (value.has_value()) out << *value;
}

}  // namespace

void write_escaped(std::ostream& out, std::string_view text, bool in_list, bool controls) {
    std::size_t plain = 0;  // the first byte not written yet
    char hex[] = "\\x00";
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        const char* escaped = c == '\t'                         ? "\\t"
                              : c == '\n'                       ? "\\n"
                              : c == '\\'                       ? "\\\\"
                              : c == ',' && in_list             ? "\\,"
                              : controls && is_other_control(c) ? hex
                                                                : nullptr;
        if (escaped == nullptr) continue;
        if (escaped == hex) {
            const auto byte = static_cast<unsigned char>(c);
            hex[2] = kHexDigits[byte >> 4];
            hex[3] = kHexDigits[byte & 0xf];
        }
        out.write(text.data() + plain, static_cast<std::streamsize>(i - plain));
        out << escaped;
        plain = i + 1;
    }
    out.write(text.data() + plain, static_cast<std::streamsize>(text.size() - plain));
}

std::string escape_field(std::string_view text, bool controls) {
    std::ostringstream escaped;
    write_escaped(escaped, text, false, controls);
    return escaped.str();
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
    if (support.applies) {
        out << support.value;
    } else {
        out << "n/a";
    }
}

void write_table_row(std::ostream& out, const TableRow& row) {
    const bool controls = row.controls;
    write_escaped(out, row.file, false, controls);
    out << '\t' << row.tree << '\t';
    write_escaped(out, row.target, false, controls);
    out << '\t' << status_name(row.status);
    const std::size_t sisters = row.sisters == nullptr ? 0 : row.sisters->size();
    for (std::size_t i = 0; i < 2; ++i) {
        out << '\t';
        if (i < sisters) write_escaped(out, (*row.sisters)[i], false, controls);
    }
    out << '\t';
    if (sisters > 0) write_support(out, row.support);
    out << '\t';
    if (row.rerooted.has_value()) out << (*row.rerooted ? '1' : '0');
    write_optional(out, row.target_leaves);
    write_optional(out, row.outliers);
    out << '\t';
    write_names(out, row.outlier_leaves, controls);
    out << '\t';
    write_escaped(out, row.root, false, controls);
    out << '\t';
    write_names(out, row.strays, controls);
    out << '\t';
    write_names(out, row.root_strays, controls);
    out << '\t';
    write_escaped(out, row.label, false, controls);
    out << '\n';
}

}  // namespace tavrin
