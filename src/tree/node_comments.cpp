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

// The number an attribute's value holds: the first element of a list (of lists), without its
// quotes. False, `number` 0, when it holds none. One pass: the braces that open lists and the
// blanks between them are passed over, and the number read stops at the first byte that is not
// part of it, so the ',' or '}' that ends the element need not be looked for.
bool value_number(std::string_view value, double& number) {
    std::size_t first = 0;
    while (first < value.size() && (value[first] == '{' || is_blank(value[first])))
        ++first;
    value.remove_prefix(first);
    if (!value.empty() && (value.front() == '"' || value.front() == '\'')) {
        const std::size_t close = value.find(value.front(), 1);
        value = value.substr(1, close == std::string_view::npos ? close : close - 1);
    }
    return read_finite_number(value.data(), value.data() + value.size(), number);
}

// The attribute found, with the value `text` as written.
AttributeValue found_value(std::string_view text) {
    AttributeValue found;
    found.found = true;
    found.text = trimmed(text);
    found.number = value_number(found.text, found.value);
    return found;
}

}  // namespace

AttributeValue attribute_value(std::string_view comment, std::string_view name) {
    // Most often the attribute sought comes first, as MrBayes writes prob: `&prob=...`.
    if (comment.size() > name.size() + 1 && comment[0] == '&' && comment[1] != '&' &&
        comment[name.size() + 1] == '=' && comment.compare(1, name.size(), name) == 0) {
        const std::string_view rest = comment.substr(name.size() + 2);
        return found_value(rest.substr(0, attribute_end(rest, 0, ',')));
    }
    AttributeValue value;
    for_each_attribute(comment, [&](std::string_view attribute, std::string_view text) {
        if (attribute != name) return true;
        value = found_value(text);
        return false;
    });
    return value;
}

bool bare_number(std::string_view comment, double& value) {
    comment = trimmed(comment);
    const char* first = comment.data();
    const char* last = first + comment.size();
    if (first == last || number_end(first, last) != last) return false;
    return read_finite_number(first, last, value);
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

void SupportNotes::note_no_number(std::string_view value) {
    if (no_number_) return;
    if (value.size() <= kMostExampleBytes) {
        no_number_.emplace(value);
    } else {
        no_number_.emplace(value.substr(0, kMostExampleBytes));
        *no_number_ += "...";
    }
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
