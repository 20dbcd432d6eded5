#include "output/report.h"

#include "output/escapes.h"
#include "output/messages.h"

namespace tavrin {

void write_name(std::ostream& out, std::string_view text, bool escape) {
    if (escape) {
        write_escaped(out, text, false, true);
    } else {
        out << text;
    }
}

std::string shown_name(std::string_view text, bool escape) {
    return escape ? escape_field(text, true) : std::string(text);
}

void write_tree_header(std::ostream& out, std::string_view path, std::size_t tree, bool several,
                       bool escape) {
    write_name(out, path, escape);
    out << ':';
    if (several) out << tree << ':';
    out << '\n';
}

void write_rows(std::ostream& out, std::string_view prefix, const std::vector<std::string>& sisters,
                const SupportCell& support, bool escape) {
    for (const std::string& sister : sisters) {
        write_name(out, prefix, escape);
        out << '\t';
        write_name(out, sister, escape);
        out << '\t';
        write_support(out, support);
        out << '\n';
    }
}

void write_set_aside(std::ostream& err, const std::vector<std::string>& names, bool escape) {
    if (names.empty()) return;
    err << messages::kSetAside;
    const char* separator = "";
    for (const std::string& name : names) {
        err << separator;
        write_name(err, name, escape);
        separator = ",";
    }
    err << std::endl;
}

void write_status_message(std::ostream& err, TreeStatus status) {
    switch (status) {
        case TreeStatus::kWholeTree:
            err << messages::kTargetIsRoot << std::endl;
            return;
        case TreeStatus::kNotAClade:
        case TreeStatus::kNoTarget:
        case TreeStatus::kAmbiguous:
            err << messages::kCladeNotFound << std::endl;
            return;
        default:
            return;
    }
}

void write_no_root(std::ostream& err, std::string_view list, std::string_view tree, bool escape) {
    err << messages::kNoRootBefore;
    write_name(err, list.substr(0, kMostListBytes), escape);
    if (list.size() > kMostListBytes) err << "...";
    err << messages::kNoRootFor;
    write_name(err, tree, escape);
    err << std::endl;
}

void write_pattern_error(std::ostream& err, std::string_view pattern, std::string_view reason) {
    err << messages::kInvalidPattern << pattern << " (" << reason << ")" << std::endl;
}

}  // namespace tavrin
