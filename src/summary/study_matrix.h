// The study at a glance: the trees of the tables read, by target (and file, when tallied by
// file) and label, each cell naming the most frequent first sister of its trees. The page opens
// with it when the tables hold several labels or targets.
#ifndef TAVRIN_SUMMARY_STUDY_MATRIX_H
#define TAVRIN_SUMMARY_STUDY_MATRIX_H

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "summary/tree_table.h"

namespace tavrin::summary {

// The rows and columns the matrix shows at most: those with the most trees.
constexpr std::size_t kStudyMost = 200;

class StudyMatrix {
public:
    // `by_file`: a row per file and target rather than per target. A tree's support counts as
    // supported at `high` or at `low`, whichever its group's scale asks for (the same number
    // without a scale).
    StudyMatrix(bool by_file, double high, double low)
        : by_file_(by_file), high_(high), low_(low) {}

    // One tree of a table.
    void add(const TreeRecord& record);

    // Several labels or several targets (or files, by file): worth a matrix.
    bool shown() const;

    // Whether the trees of this label, file and target are on the 0-1 scale of supports.
    using FractionScale =
        std::function<bool(std::string_view label, std::string_view file, std::string_view target)>;
    // The matrix as <table id="study">, with a note of the rows and columns left out; each cell
    // a link that filters the trees below to its target, label (and file).
    std::string html(const FractionScale& fractions) const;

private:
    struct Sister {
        std::size_t trees = 0;
        std::size_t supported_high = 0;
        std::size_t supported_low = 0;
    };
    struct Cell {
        std::size_t trees = 0;
        std::unordered_map<std::string, Sister> sisters;
    };
    // A row (target, and file by file) or a column (label), its fields as the table wrote them
    // (escapes in place): the trees' filter a cell sets compares them with the trees' fields as
    // the page shows those.
    struct Line {
        std::string target;
        std::string file;
        std::size_t trees = 0;
    };
    static std::size_t index_of(std::unordered_map<std::string, std::size_t>& index,
                                std::vector<Line>& lines, const std::string& key);
    std::string cell_html(const Line& row, const Line& column, const Cell& cell,
                          bool fractions) const;

    bool by_file_;
    double high_;
    double low_;
    std::vector<Line> rows_, columns_;
    std::unordered_map<std::string, std::size_t> row_index_, column_index_;
    std::unordered_map<std::uint64_t, Cell> cells_;  // by row << 32 | column
    std::string key_;                                // reused
};

}  // namespace tavrin::summary

#endif
