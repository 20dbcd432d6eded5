#include "cli/option_table.h"

#include <algorithm>

namespace tavrin {
namespace {

constexpr std::size_t kWidth = 79;  // the last column a line may use

// `words` wrapped to lines of at most kWidth columns, each line after the first starting with
// `indent` blanks; the first line is `first` columns in already.
std::string wrapped(std::string_view words, std::size_t first, std::size_t indent) {
    std::string text;
    std::size_t column = first;
    bool line_empty = true;
    while (!words.empty()) {
        const std::size_t blank = words.find(' ');
        const std::string_view word = words.substr(0, blank);
        words = blank == std::string_view::npos ? std::string_view() : words.substr(blank + 1);
        if (word.empty()) continue;
        if (!line_empty && column + 1 + word.size() > kWidth) {
            text += '\n' + std::string(indent, ' ');
            column = indent;
            line_empty = true;
        }
        if (!line_empty) {
            text += ' ';
            ++column;
        }
        text += word;
        column += word.size();
        line_empty = false;
    }
    return text;
}

}  // namespace

std::string usage_item(const OptionHelp& option) {
    std::string item = "[" + std::string(option.name);
    if (!option.alias.empty()) item += "|" + std::string(option.alias);
    if (!option.value.empty()) item += " " + std::string(option.value);
    return item + "]";
}

std::string usage_lines(std::string_view lead, const std::vector<std::string>& items) {
    std::string words;
    for (const std::string& item : items) {
        // An item is kept on one line: its blanks become no-break markers while wrapping.
        std::string joined = item;
        std::replace(joined.begin(), joined.end(), ' ', '\x01');
        words += (words.empty() ? "" : " ") + joined;
    }
    const std::size_t indent = std::min<std::size_t>(lead.size() + 1, 24);
    std::string text = std::string(lead) + " " + wrapped(words, lead.size() + 1, indent);
    std::replace(text.begin(), text.end(), '\x01', ' ');
    return text + '\n';
}

void write_help_entry(std::ostream& out, std::string_view term, std::string_view help,
                      std::size_t column) {
    out << "  " << term;
    std::size_t at = 2 + term.size();
    if (at + 2 > column) {  // at least two blanks before the sentence
        out << '\n';
        at = 0;
    }
    out << std::string(column - at, ' ') << wrapped(help, column, column) << '\n';
}

void write_help_entries(std::ostream& out, const std::vector<OptionHelp>& options,
                        std::size_t column) {
    for (const OptionHelp& option : options) {
        std::string term(option.name);
        if (!option.alias.empty()) term += ", " + std::string(option.alias);
        if (!option.value.empty()) term += " " + std::string(option.value);
        write_help_entry(out, term, option.help, column);
    }
}

}  // namespace tavrin
