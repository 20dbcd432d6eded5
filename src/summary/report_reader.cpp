#include "summary/report_reader.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>

#include "output/escapes.h"
#include "platform/files.h"
#include "platform/memory.h"
#include "summary/support_field.h"

namespace tavrin::summary {

bool ReportReader::fail(const std::string& name, std::size_t line_number, const std::string& what) {
    error_ = tavrin::shown_value(name) + ":" + std::to_string(line_number) + ": " + what;
    return false;
}

bool ReportReader::read_table_row(std::string_view line, const std::string& name,
                                  std::size_t line_number) {
    // A row the page keeps is read straight into its place; the others into one reused record.
    const bool kept = records_ != nullptr && records_->size() < record_limit_;
    if (kept) records_->emplace_back();
    TreeRecord& row = kept ? records_->back() : table_row_;
    if (!parse_tree_table_row(line, *table_, row, problem_)) {
        if (kept) records_->pop_back();
        return fail(name, line_number, problem_);
    }
    row.row = ++table_rows_;
    if (records_ != nullptr && !kept) ++records_not_kept_;
    if (study_ != nullptr) study_->add(row);
    tally_.start_table_tree(row.label, row.file, row.target);
    if (progress_ != nullptr) progress_->tree_done();
    if (!row.has_sister) {
        tally_.note_status(row.status);
        return true;
    }
    if (row.has_strays) tally_.note_strays();
    tally_.add_row(row.target, row.sister1, row.support);
    if (!row.sister2.empty()) tally_.add_row(row.target, row.sister2, row.support);
    return true;
}

bool ReportReader::read_line(std::string_view line, const std::string& name,
                             std::size_t line_number) {
    if (!line.empty() && line.back() == '\r')
        return fail(name, line_number,
                    "line ends with a carriage return (convert CRLF line ends first)");
    if (std::optional<TableLayout> layout = TableLayout::of_header(line)) {
        tally_.note_table();
        widest_table_ = std::max(widest_table_, layout->reach());
        table_ = layout;
        table_rows_ = 0;
        return true;
    }
    const std::size_t first_tab = line.find('\t');
    if (first_tab == std::string_view::npos && !line.empty() && line.back() == ':') {
        tally_.start_tree(line.substr(0, line.size() - 1));
        if (progress_ != nullptr) progress_->tree_done();
        in_tree_ = true;
        table_.reset();
        return true;
    }
    if (line.empty()) return fail(name, line_number, "empty line");
    if (table_.has_value()) return read_table_row(line, name, line_number);
    if (first_tab == std::string_view::npos)
        return fail(name, line_number,
                    "neither a tree line '<File>:' nor a row 'target<TAB>sister<TAB>support'");
    const std::size_t second_tab = line.find('\t', first_tab + 1);
    if (second_tab == std::string_view::npos ||
        line.find('\t', second_tab + 1) != std::string_view::npos) {
        const auto fields = std::count(line.begin(), line.end(), '\t') + 1;
        return fail(name, line_number,
                    "row with " + std::to_string(fields) +
                        " fields, 3 expected (target<TAB>sister<TAB>support)");
    }
    if (!in_tree_) return fail(name, line_number, "row before the first tree line '<File>:'");
    Support support;
    if (!parse_support(line.substr(second_tab + 1), support, problem_))
        return fail(name, line_number, problem_);
    tally_.add_row(line.substr(0, first_tab),
                   line.substr(first_tab + 1, second_tab - first_tab - 1), support);
    return true;
}

bool ReportReader::read(std::istream& in, const std::string& name) {
    // An allocation that fails unwinds out of read_lines, whose buffers are then released: the
    // message has room.
    try {
        return read_lines(in, name);
    } catch (const std::bad_alloc&) {
        error_ = tavrin::shown_value(name) + ": memory ran out";
        return false;
    }
}

bool ReportReader::read_lines(std::istream& in, const std::string& name) {
    constexpr std::size_t kChunk = 1 << 20;
    chunk_.resize(kChunk);
    std::string partial;  // the start of a line that continues in the next chunk
    std::size_t line_number = 0;
    int read_error = 0;
    while (in) {
        errno = 0;
        in.read(chunk_.data(), static_cast<std::streamsize>(chunk_.size()));
        if (in.bad()) read_error = errno;
        const std::size_t got = static_cast<std::size_t>(in.gcount());
        const char* at = chunk_.data();
        const char* const end = at + got;
        while (at < end) {
            const char* newline = static_cast<const char*>(std::memchr(at, '\n', end - at));
            if (newline == nullptr) {
                partial.append(at, end);
                break;
            }
            ++line_number;
            bool ok;
            if (partial.empty()) {
                ok = read_line(std::string_view(at, newline - at), name, line_number);
            } else {
                partial.append(at, newline);
                ok = read_line(partial, name, line_number);
                partial.clear();
            }
            if (!ok) return false;
            at = newline + 1;
        }
        // A source that never ends (a device, an endless line) stops here, as a failed
        // allocation would, rather than take the memory of the whole system.
        if (tavrin::memory_exhausted()) throw std::bad_alloc();
    }
    if (in.bad()) {
        error_ = tavrin::shown_value(name) + ": cannot be read" + tavrin::system_reason(read_error);
        return false;
    }
    // Every line Tavrin writes ends with a line break: a last line without one was cut (a run
    // killed, a disk full), and its last field may be cut too (80 read as 8).
    if (!partial.empty()) return fail(name, line_number + 1, "ends inside a line (cut?)");
    return true;
}

}  // namespace tavrin::summary
