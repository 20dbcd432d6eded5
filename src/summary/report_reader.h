// Reading Tavrin reports: a line `<File>:` per tree, then rows `target<TAB>sister<TAB>support`;
// and Tavrin's per-tree tables, one row per tree after their header line.
#ifndef TAVRIN_SUMMARY_REPORT_READER_H
#define TAVRIN_SUMMARY_REPORT_READER_H

#include <cstddef>
#include <istream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "output/progress.h"
#include "summary/study_matrix.h"
#include "summary/tally.h"
#include "summary/tree_table.h"

namespace tavrin::summary {

class ReportReader {
public:
    explicit ReportReader(Tally& tally) : tally_(tally) {}

    // Reads one source to its end, its lines numbered from 1, and adds its trees and rows to the
    // tally. Several sources read one after another form one report: rows at the top of a source
    // continue the last tree of the source before. False at the first error, which error() then
    // describes as `<name>:<line>: <what>` (or `<name>: <what>` when the source cannot be read,
    // with the system's reason, or when memory runs out while it is read).
    //
    // A table's header line may stand anywhere a tree line may: the lines after it are table
    // rows, each one tree, up to the next tree line `<File>:`, which a table row (it holds tabs)
    // never is. A table too continues into the next source.
    bool read(std::istream& in, const std::string& name);

    // One line of a source, without its line break.
    bool read_line(std::string_view line, const std::string& name, std::size_t line_number);

    const std::string& error() const { return error_; }

    // Keeps the table rows read from now on in `records`, in order, up to `limit` of them (none
    // when null); the rows past the limit are only counted.
    void keep_records(std::vector<TreeRecord>* records, std::size_t limit) {
        records_ = records;
        record_limit_ = limit;
    }
    // Tells `progress` of every tree read from now on (none when null).
    void tell_progress(Progress* progress) { progress_ = progress; }

    // Counts every table row read from now on in `study` too.
    void count_study(StudyMatrix* study) { study_ = study; }
    // The table rows read past the limit of keep_records.
    std::size_t records_not_kept() const { return records_not_kept_; }
    // One past the last column (TableLayout::reach) of the widest table read; 0 when none was.
    std::size_t widest_table() const { return widest_table_; }

private:
    bool read_lines(std::istream& in, const std::string& name);
    bool read_table_row(std::string_view line, const std::string& name, std::size_t line_number);
    bool fail(const std::string& name, std::size_t line_number, const std::string& what);

    Tally& tally_;
    bool in_tree_ = false;
    std::optional<TableLayout> table_;  // the lines read are rows of a per-tree table laid out
                                        // so; none outside a table
    std::size_t table_rows_ = 0;        // rows read since the table's header line
    std::vector<TreeRecord>* records_ = nullptr;
    std::size_t record_limit_ = 0;
    std::size_t records_not_kept_ = 0;
    std::size_t widest_table_ = 0;
    Progress* progress_ = nullptr;
    std::string error_;
    std::string problem_;
    StudyMatrix* study_ = nullptr;
    TreeRecord table_row_;     // reused from row to row
    std::vector<char> chunk_;  // the block read, kept from one source to the next
};

}  // namespace tavrin::summary

#endif
