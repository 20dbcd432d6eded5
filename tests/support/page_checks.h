// The page of Tavrin-summary --html --pictures made from any input: the run ends with status 0
// or 2 (leaving no page then), and the page holds only the elements and attributes the page
// writes itself, its own style and script and nothing else as markup; its rows are text fields
// in equal number, and a picture is linked by a plain file name of the folder. Used by the fuzz
// target fuzz_summary_page and by summary_tests, which replay its seeds and stored inputs.
//
// An input is a table (or report) text, then optionally a NUL byte and the content of a picture
// `000001_g.svg`, then a NUL byte and the content of a picture `lab_000002_g.svg`. When the text
// starts with '#', its first line is taken away and chooses the options: a 'b' in it gives
// `--by label,target`, an 'f' `--first`.
#ifndef TAVRIN_TESTS_SUPPORT_PAGE_CHECKS_H
#define TAVRIN_TESTS_SUPPORT_PAGE_CHECKS_H

#include <cstddef>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "summary/app.h"

namespace tavrin::page_checks {

namespace fs = std::filesystem;

// The attributes each element of the page may carry.
inline const std::map<std::string, std::set<std::string>>& allowed() {
    static const std::map<std::string, std::set<std::string>> elements = {
        {"html", {"lang"}},
        {"head", {}},
        {"meta", {"charset"}},
        {"title", {}},
        {"style", {}},
        {"noscript", {}},
        {"script", {}},
        {"body", {}},
        {"h1", {}},
        {"h2", {}},
        {"h3", {}},
        {"p", {"class", "id"}},
        {"br", {}},
        {"table", {"class", "id", "data-status", "data-picture", "data-folder"}},
        {"thead", {}},
        {"tbody", {}},
        {"tr", {}},
        {"th", {}},
        {"td", {"class", "data-target", "data-label", "data-file", "style", "title"}},
        {"small", {}},
        {"div", {"class"}},
        {"figure", {}},
        {"ul", {"class", "id"}},
        {"li", {}},
        {"span", {"class", "id"}},
        {"form", {"id"}},
        {"label", {}},
        {"select", {"name", "data-columns"}},
        {"option", {"value"}},
        {"button", {"type", "id", "hidden"}},
        {"pre", {"id", "hidden"}},
        {"svg",
         {"xmlns", "version", "width", "height", "viewBox", "font-family", "font-size", "fill", "x",
          "y"}},
        {"desc", {}},
        {"g", {"stroke", "stroke-width", "text-anchor"}},
        {"rect", {"x", "y", "width", "height", "fill"}},
        {"line", {"x1", "y1", "x2", "y2", "stroke", "stroke-width"}},
        {"text", {"x", "y", "text-anchor", "font-size", "font-weight"}},
    };
    return elements;
}

inline bool is_name_char(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-';
}

// Reads the tag at `at` (just past its '<') up to its '>'; what is wrong with it, or "".
inline std::string check_tag(std::string_view page, std::size_t& at, std::string& name) {
    const bool closing = at < page.size() && page[at] == '/';
    if (closing) ++at;
    const std::size_t start = at;
    while (at < page.size() && is_name_char(page[at]))
        ++at;
    name = std::string(page.substr(start, at - start));
    const auto element = allowed().find(name);
    if (element == allowed().end()) return "element <" + name + "> the page does not write";
    for (;;) {
        while (at < page.size() && page[at] == ' ')
            ++at;
        if (at >= page.size()) return "a tag that does not end";
        if (page[at] == '>' || page.compare(at, 2, "/>") == 0) break;
        if (closing) return "attributes in a closing tag";
        const std::size_t attribute = at;
        while (at < page.size() && is_name_char(page[at]))
            ++at;
        const std::string key(page.substr(attribute, at - attribute));
        if (key.empty() || element->second.count(key) == 0)
            return "attribute '" + key + "' of <" + name + "> the page does not write";
        if (page.compare(at, 2, "=\"") != 0) continue;
        const std::size_t end = page.find('"', at + 2);
        if (end == std::string_view::npos) return "an attribute value that does not end";
        if (page.substr(at + 2, end - at - 2).find('<') != std::string_view::npos)
            return "'<' in an attribute value";
        at = end + 1;
    }
    at = page.find('>', at) + 1;
    if (closing) name.insert(0, "/");
    return "";
}

// Outside tags: a '>' or an '&' that starts no reference is markup the page did not escape.
inline std::string check_text(std::string_view text) {
    if (text.find('>') != std::string_view::npos) return "a raw '>' in text";
    for (std::size_t amp = text.find('&'); amp != std::string_view::npos;
         amp = text.find('&', amp + 1)) {
        std::size_t end = amp + 1;
        if (end < text.size() && text[end] == '#') ++end;
        while (end < text.size() && is_name_char(text[end]))
            ++end;
        if (end == amp + 1 || end >= text.size() || text[end] != ';')
            return "an '&' that starts no reference";
    }
    return "";
}

// The style and script of a page, which every page holds the same; and the rows' text.
struct PageParts {
    std::string style, script, rows;
};

// What is wrong with the markup of `page`, or ""; its parts in `parts`.
inline std::string check_markup(std::string_view page, PageParts& parts) {
    constexpr std::string_view kDoctype = "<!DOCTYPE html>\n";
    if (page.substr(0, kDoctype.size()) != kDoctype) return "no doctype first";
    for (std::size_t at = kDoctype.size(); at < page.size();) {
        const std::size_t open = page.find('<', at);
        if (std::string problem = check_text(page.substr(at, open - at)); !problem.empty())
            return problem;
        if (open == std::string_view::npos) break;
        at = open + 1;
        std::string name;
        if (std::string problem = check_tag(page, at, name); !problem.empty()) return problem;
        if (name != "style" && name != "script" && name != "pre") continue;
        const std::size_t close = page.find("</" + name + ">", at);
        if (close == std::string_view::npos) return "<" + name + "> not closed";
        std::string& part = name == "style"    ? parts.style
                            : name == "script" ? parts.script
                                               : parts.rows;
        part.assign(page.substr(at, close - at));
        // The rows are text like any other; the style and the script are the page's own.
        if (name == "pre") continue;
        at = close;
    }
    return "";
}

// The rows' text: a line of column names, then lines of as many fields; a picture is a plain,
// percent-encoded file name.
inline std::string check_rows(const std::string& rows) {
    if (rows.empty()) return "";
    std::istringstream lines(rows);
    std::string line;
    std::getline(lines, line);
    const auto fields = [](const std::string& text) {
        std::vector<std::string> split(1);
        for (const char c : text) {
            if (c == '\t')
                split.emplace_back();
            else
                split.back() += c;
        }
        return split;
    };
    const std::vector<std::string> head = fields(line);
    const bool with_picture = head.size() > 1 && head[1] == "picture";
    while (std::getline(lines, line)) {
        const std::vector<std::string> row = fields(line);
        if (row.size() != head.size()) return "a row of another number of fields than its head";
        if (with_picture &&
            row[1].find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"
                                     "0123456789%._~-") != std::string::npos)
            return "a picture that is not a plain file name";
    }
    return "";
}

inline std::string read_all(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

// Runs Tavrin-summary on `input` in the folder `work` (made when missing); the page's parts in
// `parts`. What is wrong, or "".
inline std::string run_page(std::string_view input, const fs::path& work, PageParts& parts) {
    std::vector<std::string> args;
    if (!input.empty() && input[0] == '#') {
        const std::string_view options = input.substr(0, input.find('\n'));
        if (options.find('b') != std::string_view::npos) args = {"--by", "label,target"};
        if (options.find('f') != std::string_view::npos) args.push_back("--first");
        input.remove_prefix(std::min(input.size(), options.size() + 1));
    }
    const std::string_view table = input.substr(0, input.find('\0'));
    const fs::path pictures = work / "pictures";
    fs::create_directories(pictures);
    const char* names[] = {"000001_g.svg", "lab_000002_g.svg"};
    for (std::size_t i = 0, at = table.size(); i < 2; ++i) {
        const std::size_t from = std::min(input.size(), at + 1);
        at = std::min(input.size(), input.find('\0', from));
        std::ofstream(pictures / names[i], std::ios::binary) << input.substr(from, at - from);
    }
    const fs::path page = work / "page.html";
    fs::remove(page);
    args.insert(args.end(), {"--html", page.string(), "--pictures", pictures.string(), "-"});
    std::istringstream in{std::string(table)};
    std::ostringstream out, err;
    const int status = summary::run(args, in, out, err);
    if (status != 0 && status != 2) return "status " + std::to_string(status);
    if (status == 2) return fs::exists(page) ? "a failed run left a page" : "";
    std::string problem = check_markup(read_all(page), parts);
    return problem.empty() ? check_rows(parts.rows) : problem;
}

// run_page, and the style and script the same as those of a page of a plain table.
inline std::string check_input(std::string_view input, const fs::path& work) {
    static const PageParts reference = [&work] {
        PageParts plain;
        run_page(
            "file\ttree\ttarget\tstatus\tsister1\tsister2\tsupport\trerooted\ttarget_leaves\t"
            "outliers\toutlier_leaves\troot\tstrays\tlabel\ng.nwk\t1\tC\tsisters\tM\t\t80\t0"
            "\t2\t0\t\tgiven\t\t\n",
            work, plain);
        return plain;
    }();
    PageParts parts;
    const std::string problem = run_page(input, work, parts);
    if (!problem.empty()) return problem;
    if (!parts.style.empty() && parts.style != reference.style) return "a style of its own";
    if (!parts.script.empty() && parts.script != reference.script) return "a script of its own";
    return "";
}

}  // namespace tavrin::page_checks

#endif
