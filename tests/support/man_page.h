// A program's help against its man page: the options the usage line names, in order, and the
// option entries (name, alias, value) of the help's lists and of the page's OPTIONS section.
#ifndef TAVRIN_TESTS_SUPPORT_MAN_PAGE_H
#define TAVRIN_TESTS_SUPPORT_MAN_PAGE_H

#include <cctype>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace tavrin::man_page {

// `text` with the roff escapes of the pages undone: \- is '-', fonts and quotes dropped.
inline std::string plain(std::string text) {
    text = std::regex_replace(text, std::regex(R"(\\-)"), "-");
    text = std::regex_replace(text, std::regex(R"(\\f[BIRP])"), "");
    return std::regex_replace(text, std::regex("\""), "");
}

// The options named in `text`, in order: every word that starts with a dash.
inline std::vector<std::string> options_named(const std::string& text) {
    static const std::regex option(R"((^|[\s\[|])(--?[A-Za-z?][A-Za-z-]*))");
    std::vector<std::string> names;
    for (std::sregex_iterator at(text.begin(), text.end(), option), end; at != end; ++at)
        names.push_back((*at)[2]);
    return names;
}

// The text of a page's section `name`, up to the next section.
inline std::string section(const std::string& page, const std::string& name) {
    const std::size_t start = page.find(".SH " + name + "\n");
    if (start == std::string::npos) return std::string();
    const std::size_t body = page.find('\n', start) + 1;
    return page.substr(body, page.find("\n.SH ", body) - body);
}

// An entry as "name alias VALUE", the value without angle brackets.
inline std::string entry(std::string name, std::string alias, std::string value) {
    if (value.size() > 1 && value.front() == '<') value = value.substr(1, value.size() - 2);
    return name + " " + alias + " " + value;
}

// The entries of the page's OPTIONS section: the line after each .TP.
inline std::set<std::string> page_entries(const std::string& page) {
    std::set<std::string> entries;
    std::istringstream lines(section(page, "OPTIONS"));
    for (std::string line, previous; std::getline(lines, line); previous = line) {
        if (previous != ".TP") continue;
        std::istringstream words(plain(line.substr(line.find(' ') + 1)));
        std::string name, second, third;
        words >> name >> second >> third;
        if (second == ",") {
            entries.insert(entry(name, third, ""));
        } else {
            entries.insert(entry(name, "", second));
        }
    }
    return entries;
}

// The entries of a help's lists: lines that start with two blanks and a dash, the term ending
// at the first two blanks.
inline std::set<std::string> help_entries(const std::string& help) {
    std::set<std::string> entries;
    std::istringstream lines(help);
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind("  -", 0) != 0) continue;
        std::string term = line.substr(2, line.find("  ", 2) - 2);
        std::string alias;
        const std::size_t comma = term.find(", ");
        if (comma != std::string::npos) {
            alias = term.substr(comma + 2);
            term = term.substr(0, comma);
        }
        const std::size_t blank = term.find(' ');
        entries.insert(blank == std::string::npos
                           ? entry(term, alias, "")
                           : entry(term.substr(0, blank), alias, term.substr(blank + 1)));
    }
    return entries;
}

// The usage lines of a help: up to its first empty line.
inline std::string usage_of(const std::string& help) {
    return help.substr(0, help.find("\n\n"));
}

}  // namespace tavrin::man_page

#endif  // TAVRIN_TESTS_SUPPORT_MAN_PAGE_H
