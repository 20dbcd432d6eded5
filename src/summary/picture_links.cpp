#include "summary/picture_links.h"

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <system_error>

#include "draw/picture_file.h"
#include "draw/xml_text.h"
#include "platform/files.h"

namespace tavrin::summary {

namespace {

constexpr std::string_view kOpen = "<metadata";
constexpr std::string_view kClose = "</metadata>";
// Pictures stay below a megabyte; the source is near their start.
constexpr std::size_t kHeadLimit = std::size_t{1} << 20;

void append_utf8(std::string& out, std::uint32_t code) {
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (code >> 18));
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

// The code point of a numeric reference's digits ("65", "x41"); false when they are none.
bool reference_code(std::string_view digits, std::uint32_t& code) {
    const bool hex = !digits.empty() && digits[0] == 'x';
    if (hex) digits.remove_prefix(1);
    if (digits.empty() || digits.size() > 8) return false;
    code = 0;
    for (const char c : digits) {
        int value;
        if (c >= '0' && c <= '9')
            value = c - '0';
        else if (hex && c >= 'a' && c <= 'f')
            value = c - 'a' + 10;
        else if (hex && c >= 'A' && c <= 'F')
            value = c - 'A' + 10;
        else
            return false;
        code = code * (hex ? 16 : 10) + static_cast<std::uint32_t>(value);
    }
    return code > 0 && code <= 0x10FFFF && (code < 0xD800 || code > 0xDFFF);
}

// The text a reference `&<name>;` stands for, appended to `out`; false when it is none.
bool append_reference(std::string& out, std::string_view name) {
    constexpr std::string_view kNames[] = {"amp", "lt", "gt", "quot", "apos"};
    constexpr char kCharacters[] = {'&', '<', '>', '"', '\''};
    for (std::size_t i = 0; i < std::size(kNames); ++i) {
        if (name == kNames[i]) {
            out += kCharacters[i];
            return true;
        }
    }
    std::uint32_t code;
    if (name.empty() || name[0] != '#' || !reference_code(name.substr(1), code)) return false;
    append_utf8(out, code);
    return true;
}

// A name as XML keeps it: a picture's source went through XML escaping, which replaces bytes
// that are not UTF-8 and control characters; a row's field is compared after the same.
bool same_text(const std::string& recorded, const std::string& row_field) {
    return recorded == row_field || xml_text(recorded) == xml_text(row_field);
}

bool is_picture_name(const std::string& name) {
    constexpr std::string_view kSuffix = ".svg";
    return name.size() > kSuffix.size() &&
           name.compare(name.size() - kSuffix.size(), kSuffix.size(), kSuffix) == 0;
}

// The names of the pictures in `dir` (regular files ending .svg, not links), sorted.
std::vector<std::string> pictures_in(const std::string& dir) {
    namespace fs = std::filesystem;
    std::vector<std::string> names;
    std::error_code error;
    for (fs::directory_iterator at(dir, error), end; !error && at != end; at.increment(error)) {
        std::error_code status_error;
        if (!fs::is_regular_file(at->symlink_status(status_error)) || status_error) continue;
        std::string name = at->path().filename().string();
        if (is_picture_name(name)) names.push_back(std::move(name));
    }
    std::sort(names.begin(), names.end());
    return names;
}

// Whether the picture `name` in `dir` records the source of this row.
bool records_row(const std::string& dir, const std::string& name, const PictureSource& row,
                 std::string& head) {
    PictureSource recorded;
    const std::string path = (std::filesystem::path(dir) / name).string();
    return read_file_head(path, kClose, kHeadLimit, head) && picture_source(head, recorded) &&
           recorded.tree == row.tree && same_text(recorded.file, row.file) &&
           same_text(recorded.label, row.label);
}

}  // namespace

std::string xml_decoded(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '&') {
            const std::size_t end = text.find(';', i + 1);
            if (end != std::string_view::npos && end - i <= 12 &&
                append_reference(out, text.substr(i + 1, end - i - 1))) {
                i = end;
                continue;
            }
        }
        out += text[i];
    }
    return out;
}

bool picture_source(std::string_view svg, PictureSource& source) {
    // "<metadata>" or "<metadata attributes...>", not "<metadataX>".
    const auto ends_name = [svg](std::size_t at) {
        return at < svg.size() && (svg[at] == '>' || svg[at] == ' ' || svg[at] == '\t' ||
                                   svg[at] == '\n' || svg[at] == '\r');
    };
    std::size_t open = svg.find(kOpen);
    while (open != std::string_view::npos && !ends_name(open + kOpen.size()))
        open = svg.find(kOpen, open + 1);
    if (open == std::string_view::npos) return false;
    const std::size_t start = svg.find('>', open);
    const std::size_t close = svg.find(kClose, open);
    if (start == std::string_view::npos || close == std::string_view::npos || close < start)
        return false;
    const std::string text = xml_decoded(svg.substr(start + 1, close - start - 1));
    const std::size_t first = text.find('\t');
    const std::size_t second = first == std::string::npos ? first : text.find('\t', first + 1);
    if (second == std::string::npos || text.find('\t', second + 1) != std::string::npos)
        return false;
    source.tree = text.substr(first + 1, second - first - 1);
    return unescape_field(std::string_view(text).substr(0, first), source.file) &&
           unescape_field(std::string_view(text).substr(second + 1), source.label);
}

PictureLinks find_pictures(const std::string& dir, const std::vector<TreeRecord>& records) {
    const std::vector<std::string> names = pictures_in(dir);
    std::vector<bool> used(names.size(), false);
    PictureLinks links;
    links.names.resize(records.size());
    PictureSource row;
    std::string head;
    for (std::size_t i = 0; i < records.size(); ++i) {
        const TableFields fields = records[i].fields();
        const std::optional<TreeStatus> status = status_named(fields[Column::kStatus]);
        if (!status || *status == TreeStatus::kMalformed || *status == TreeStatus::kUnreadable)
            continue;
        if (!unescape_field(fields[Column::kFile], row.file) ||
            !unescape_field(fields[Column::kLabel], row.label))
            continue;
        row.tree.assign(fields[Column::kTree]);
        const std::string prefix = (row.label.empty() ? std::string() : row.label + "_") +
                                   tree_number(records[i].row) + "_";
        for (auto at = std::lower_bound(names.begin(), names.end(), prefix);
             at != names.end() && at->compare(0, prefix.size(), prefix) == 0; ++at) {
            if (!records_row(dir, *at, row, head)) continue;
            links.names[i] = *at;
            ++links.linked;
            used[static_cast<std::size_t>(at - names.begin())] = true;
            break;
        }
    }
    links.others = static_cast<std::size_t>(std::count(used.begin(), used.end(), false));
    return links;
}

}  // namespace tavrin::summary
