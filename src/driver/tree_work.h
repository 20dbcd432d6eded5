// The work of a run on one file and on one tree, as records of what it writes: made on any
// thread, in any order, and written by the file loop in the run's order.
#ifndef TAVRIN_DRIVER_TREE_WORK_H
#define TAVRIN_DRIVER_TREE_WORK_H

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "analysis/pipeline.h"
#include "driver/options.h"
#include "driver/record.h"
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

// What the analysis of a tree may use, as it stood when the tree's turn came: for each target,
// the settings with the group relations and the compiled pattern, and whether both could be had
// (else the tree is read but not analysed for it: the run ends there with their message).
struct Preparation {
    std::vector<std::shared_ptr<const AnalysisSettings>> settings;
    std::vector<bool> ready;
};
// Gives the preparation when a tree is about to be analysed: made then (a run of one thread,
// where a group file rewritten during the run is read anew before the next tree), or earlier,
// when the tree was given out to a thread.
using Prepare = std::function<Preparation()>;

class TreeWork {
public:
    explicit TreeWork(const RunConfig& config);

    // A tree file: its header (the classic dialect), its text, and its first tree analysed. With
    // `text`, the file's text already read (standard input, which only the file loop may read).
    // A file with trees after the first hands its reader on in the record.
    std::unique_ptr<Record> file(const std::string& path, std::optional<SourceRead> got,
                                 std::string text, std::string reason,
                                 const Prepare& prepare) const;

    // A tree after the first of its file, read already.
    std::unique_ptr<Record> tree(const TreePlace& place, TreeRead read,
                                 const Prepare& prepare) const;

    // What follows the last tree of a file.
    std::unique_ptr<Record> end_of_file(const std::string& path, const TreeReader& reader) const;

    // The record of target `lane` (0 the first) of a record made here.
    static Record& lane_of(Record& record, std::size_t lane) {
        return lane == 0 ? record : *record.lanes[lane - 1];
    }

private:
    std::unique_ptr<Record> new_record() const;
    void tree_lanes(Record& record, const TreePlace& place, TreeRead& read, const Prepare& prepare,
                    std::size_t& lane) const;
    void tree_into(Record& record, std::size_t lane, const TreePlace& place, TreeRead& read,
                   const Prepare& prepare, bool restore) const;
    void end_into(Record& record, const std::string& path, const TreeReader& reader) const;
    TableRow key_row(const TreePlace& place, TreeStatus status, std::size_t lane) const;
    void unreadable(Record& record, std::size_t lane, const std::string& path, bool headed,
                    SourceRead got, const std::string& reason) const;
    void begin_tree(Record& record, const TreePlace& place) const;
    void write_tree(Record& record, const TreePlace& place, const AnalysisResult& result,
                    const AnalysisSettings& settings) const;
    bool escape_names() const { return config_.read.dialect == Dialect::kStandard; }

    const RunConfig& config_;
    std::vector<std::string> targets_;  // the run's targets, in order
    AnalysisNeeds needs_;
};

// The run ends at `record` because memory ran out while `path` was read or analysed; with
// `escape` (standard Newick), the path is shown as names are.
void out_of_memory(Record& record, const std::string& path, bool escape);

}  // namespace tavrin

#endif  // TAVRIN_DRIVER_TREE_WORK_H
