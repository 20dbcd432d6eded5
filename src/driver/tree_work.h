// The work of a run on one file and on one tree, as records of what it writes: made on any
// thread, in any order, and written by the file loop in the run's order.
#ifndef TAVRIN_DRIVER_TREE_WORK_H
#define TAVRIN_DRIVER_TREE_WORK_H

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/pipeline.h"
#include "driver/options.h"
#include "driver/record.h"
#include "output/table_format.h"
#include "tree/tree_changes.h"
#include "tree/tree_reader.h"
#include "tree/tree_source.h"

namespace tavrin {

// Where a tree stands among the arguments: its file, and its number there when the file holds
// several.
struct TreePlace {
    std::string path;
    std::size_t tree = 1;  // from 1
    bool several = false;  // the file holds more than one tree
};

// What one step of a run works with, as it stood when the step was given out: the run's
// analysis with the group relations then in force, and what the run has to say before the next
// tree it analyses (the group file's warnings, or why it could not be read: `fatal`, the run
// ends there). A step that analyses no tree leaves its news to the next step.
struct StepContext {
    std::shared_ptr<const Analysis> analysis;
    // With --targets, the analyses of the targets after the first, in list order.
    std::vector<std::shared_ptr<const Analysis>> more;
    std::string news;
    bool fatal = false;
};

// A tree file's text as the file loop read it, in the run's order: whether it could be had and
// why not, or that memory ran out reading it.
struct FileText {
    SourceRead got = SourceRead::kRead;
    std::string text, reason;
    bool out_of_memory = false;
};
// Reads the tree file at `path` ("-": `input`, in standard Newick) as `dialect` reads files.
FileText read_file_text(const std::string& path, Dialect dialect, StandardInput& input);

// The table's row of `result`, for the `tree`-th tree of `file` searched for `target` in the run
// named `label`. It refers to `result`, which must outlive it. The rows of trees that were not
// analysed are built by TreeWork, which writes every row.
TableRow table_row(const AnalysisResult& result, std::string_view file, std::size_t tree,
                   std::string_view target, std::string_view label = {});

// Called by each step before its tree is analysed: tests make a step fail with it.
using StepCheck = std::function<void(const TreePlace&)>;

class TreeWork {
public:
    TreeWork(const RunConfig& config, StepCheck check);

    // A tree file: its header (the classic dialect), and its first tree read from `source` and
    // analysed. A file with trees after the first hands its reader on in the record.
    std::unique_ptr<Record> file(const std::string& path, FileText source,
                                 const StepContext& context) const;

    // A tree after the first of its file, read already.
    std::unique_ptr<Record> tree(const TreePlace& place, TreeRead read,
                                 const StepContext& context) const;

    // What follows the last tree of a file.
    std::unique_ptr<Record> end_of_file(const std::string& path, const TreeReader& reader) const;

    // The record of target `lane` (0 the first) of a record made here.
    static Record& lane_of(Record& record, std::size_t lane) {
        return lane == 0 ? record : *record.lanes[lane - 1];
    }

private:
    // What the analyses of one tree for each target find alike, found by the first.
    struct LanesShare {
        SharedAnalyses analyses;
        std::optional<LeafNamesSeen> names;
        std::string row_key;  // the file and tree cells of the table's rows
        // The record that gives the tree back after each target but the last, empty between.
        std::optional<TreeChanges> changes;
    };

    std::unique_ptr<Record> new_record() const;
    void tree_lanes(Record& record, const TreePlace& place, TreeRead& read,
                    const StepContext& context, std::size_t& lane) const;
    void tree_into(Record& record, std::size_t lane, const TreePlace& place, TreeRead& read,
                   const StepContext& context, bool restore, LanesShare& shared) const;
    bool ready_to_analyse(Record& record, std::size_t lane, const Analysis& analysis,
                          const StepContext& context) const;
    void end_into(Record& record, const std::string& path, const TreeReader& reader) const;
    TableRow key_row(const TreePlace& place, TreeStatus status, std::size_t lane) const;
    void unreadable(Record& record, std::size_t lane, const std::string& path, bool headed,
                    SourceRead got, const std::string& reason) const;
    void begin_tree(Record& record, const TreePlace& place) const;
    void write_tree(Record& record, const TreePlace& place, const AnalysisResult& result,
                    const AnalysisSettings& settings, std::string* row_key) const;
    bool escape_names() const { return config_.read.dialect == Dialect::kStandard; }

    const RunConfig& config_;
    std::vector<std::string> targets_;  // the run's targets, in order
    AnalysisNeeds needs_;
    StepCheck check_;
};

// The run ends at `record` because memory ran out while `path` was read or analysed; with
// `escape` (standard Newick), the path is shown as names are.
void out_of_memory(Record& record, const std::string& path, bool escape);

}  // namespace tavrin

#endif  // TAVRIN_DRIVER_TREE_WORK_H
