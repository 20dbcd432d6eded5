#include "tree/node_comments.h"

#include <algorithm>

#include "tree/byte_classes.h"
#include "tree/numbers.h"

namespace tavrin {

namespace {

constexpr std::string_view kNhx = "&&NHX";

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && is_blank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && is_blank(text.back()))
        text.remove_suffix(1);
    return text;
}

// The end of the attribute that starts at `pos` of an attribute list: the next `separator`
// outside double quotes and braces, or the end of the list.
std::size_t attribute_end(std::string_view list, std::size_t pos, char separator) {
    int depth = 0;
    bool quoted = false;
    for (; pos < list.size(); ++pos) {
        const char c = list[pos];
        if (c == '"') {
            quoted = !quoted;
        } else if (quoted) {
            continue;
        } else if (c == '{') {
            ++depth;
        } else if (c == '}') {
            depth = std::max(depth - 1, 0);
        } else if (c == separator && depth == 0) {
            break;
        }
    }
    return pos;
}

// Calls `visit(name, value)` for each `name=value` of the comment's attribute list, in order,
// while it answers true. Attributes without '=' (the rooting marks `&R`, `&U`) are passed over.
template <typename Visit>
void for_each_attribute(std::string_view comment, Visit visit) {
    std::string_view list;
    char separator = ',';
    if (comment.substr(0, kNhx.size()) == kNhx) {
        list = comment.substr(kNhx.size());
        separator = ':';
    } else if (!comment.empty() && comment.front() == '&') {
        list = comment.substr(1);
    } else {
        return;
    }
    for (std::size_t pos = 0; pos <= list.size();) {
        const std::size_t end = attribute_end(list, pos, separator);
        const std::string_view attribute = list.substr(pos, end - pos);
        const std::size_t equals = attribute.find('=');
        if (equals != std::string_view::npos &&
            !visit(trimmed(attribute.substr(0, equals)), attribute.substr(equals + 1))) {
            return;
        }
        pos = end + 1;
    }
}

// The number an attribute's value holds: the first element of a list, without its quotes.
double value_number(std::string_view value) {
    value = trimmed(value);
    while (!value.empty() && value.front() == '{') {
        value.remove_prefix(1);
        value = trimmed(value.substr(0, attribute_end(value, 0, ',')));
        if (!value.empty() && value.back() == '}') value.remove_suffix(1);
        value = trimmed(value);
    }
    if (!value.empty() && (value.front() == '"' || value.front() == '\'')) {
        const std::size_t close = value.find(value.front(), 1);
        value = value.substr(1, close == std::string_view::npos ? close : close - 1);
    }
    return read_number(value.data(), value.data() + value.size());
}

}  // namespace

bool attribute_value(std::string_view comment, std::string_view name, double& value) {
    // Most often the attribute sought comes first, as MrBayes writes prob: `&prob=...`.
    if (comment.size() > name.size() + 1 && comment[0] == '&' && comment[1] != '&' &&
        comment[name.size() + 1] == '=' && comment.compare(1, name.size(), name) == 0) {
        const std::string_view rest = comment.substr(name.size() + 2);
        value = value_number(rest.substr(0, attribute_end(rest, 0, ',')));
        return true;
    }
    bool found = false;
    for_each_attribute(comment, [&](std::string_view attribute, std::string_view text) {
        if (attribute != name) return true;
        value = value_number(text);
        found = true;
        return false;
    });
    return found;
}

bool bare_number(std::string_view comment, double& value) {
    comment = trimmed(comment);
    const char* first = comment.data();
    const char* last = first + comment.size();
    if (first == last || number_end(first, last) != last) return false;
    value = read_number(first, last);
    return true;
}

void SupportNotes::note_comment(std::string_view comment) {
    double value = 0;
    if (bare_number(comment, value)) {
        bare_numbers_ = true;
        return;
    }
    for_each_attribute(comment, [this](std::string_view name, std::string_view) {
        if (names_.size() >= kMostNames) return false;
        if (name.empty()) return true;
        if (std::find(names_.begin(), names_.end(), name) == names_.end()) {
            names_.emplace_back(name);
        }
        return true;
    });
}

std::string SupportNotes::unused_values() const {
    std::string values;
    if (supported_) return values;
    for (const std::string& name : names_) {
        if (!values.empty()) values += ", ";
        values += name;
    }
    if (bare_numbers_) values += values.empty() ? "bare numbers" : ", bare numbers";
    return values;
}

}  // namespace tavrin
