#include "driver/tree_work.h"

#include <new>
#include <optional>
#include <stdexcept>
#include <utility>

#include "cli/exit_status.h"
#include "draw/picture.h"
#include "driver/warnings.h"
#include "output/escapes.h"
#include "output/messages.h"
#include "output/report.h"
#include "output/table_format.h"
#include "platform/files.h"

namespace tavrin {
namespace {

// Runs `work` on `record`; memory that runs out ends the run there, after what was made, in the
// record of the target being worked on, `lane`.
template <typename Work>
void guarded(Record& record, const std::size_t& lane, const std::string& path, bool escape,
             Work work) {
    try {
        work();
    } catch (const std::bad_alloc&) {
        out_of_memory(TreeWork::lane_of(record, lane), path, escape);
    } catch (const std::length_error&) {  // a string asked to grow past its largest size
        out_of_memory(TreeWork::lane_of(record, lane), path, escape);
    }
}

}  // namespace

TableRow table_row(const AnalysisResult& result, std::string_view file, std::size_t tree,
                   std::string_view target, std::string_view label) {
    TableRow row;
    row.file = file;
    row.tree = tree;
    row.target = target;
    row.status = result.status;
    row.sisters = &result.sisters;
    row.support = result.support;
    if (result.status == TreeStatus::kSisters || result.status == TreeStatus::kUnnamed)
        row.rerooted = result.rerooted;
    row.target_leaves = result.target_leaves;
    row.outliers = result.outliers.count;
    row.outlier_leaves = &result.outliers.names;
    row.root = result.root;
    row.strays = &result.strays;
    row.root_strays = &result.root_strays;
    row.label = label;
    return row;
}

// The classic dialect reads a file's lines joined; standard Newick reads its bytes as they are
// (decompressed), so that the offsets in its messages are offsets in the file.
FileText read_file_text(const std::string& path, Dialect dialect, StandardInput& input) {
    FileText source;
    try {
        if (dialect == Dialect::kClassic) {
            source.got =
                read_tree_file(path, source.text) ? SourceRead::kRead : SourceRead::kNotOpened;
        } else {
            source.got = read_tree_source(path, input, source.text, source.reason);
        }
    } catch (const std::bad_alloc&) {
        source.out_of_memory = true;
    } catch (const std::length_error&) {  // a string asked to grow past its largest size
        source.out_of_memory = true;
    }
    return source;
}

void out_of_memory(Record& record, const std::string& path, bool escape) {
    record.flush(Record::Flush::kPlain);
    record.err().clear();
    record.err() << messages::kOutOfMemory << shown_name(path, escape) << std::endl;
    record.ends_run = kExitFatal;
}

TreeWork::TreeWork(const RunConfig& config, StepCheck check)
    : config_(config), targets_(config.target_list()), check_(std::move(check)) {
    needs_.outliers = config.table;
    needs_.picture = !config.draw_dir.empty();
    needs_.leaf_count = needs_.outliers || needs_.picture;
}

std::unique_ptr<Record> TreeWork::new_record() const {
    auto record = std::make_unique<Record>();
    for (std::size_t lane = 1; lane < targets_.size(); ++lane)
        record->lanes.push_back(std::make_unique<Record>());
    return record;
}

// Every target writes what a run of its own would: the file is read once, and each target's
// record gets the same headers and warnings.
std::unique_ptr<Record> TreeWork::file(const std::string& path, FileText source,
                                       const StepContext& context) const {
    auto record = new_record();
    std::size_t lane = 0;
    guarded(*record, lane, path, escape_names(), [&] {
        release_spent_tree();  // before this file's tree takes its memory
        // A file of the classic dialect holds one tree: its header goes out before the file's
        // text. A standard Newick file's header waits for its first tree.
        const bool one_tree = config_.read.dialect == Dialect::kClassic;
        for (lane = 0; one_tree && lane < targets_.size(); ++lane)
            begin_tree(lane_of(*record, lane), TreePlace{path, 1, false});
        lane = 0;
        if (source.out_of_memory) {
            out_of_memory(*record, path, escape_names());
            return;
        }
        if (source.got != SourceRead::kRead) {
            for (lane = 0; lane < targets_.size(); ++lane)
                unreadable(lane_of(*record, lane), lane, path, one_tree, source.got, source.reason);
            return;
        }
        std::string& text = source.text;
        if (one_tree && holds_several_trees(text)) {
            for (lane = 0; lane < targets_.size(); ++lane) {
                lane_of(*record, lane).flush(Record::Flush::kPlain);
                warn_of_several_trees(lane_of(*record, lane).err(), path);
            }
        }
        lane = 0;
        auto reader = std::make_unique<TreeReader>(std::move(text), config_.read);
        const std::size_t first = reader->skip(config_.burnin) + 1;
        std::optional<TreeRead> read = reader->next();
        if (read.has_value()) {
            tree_lanes(*record, TreePlace{path, first, first > 1 || !reader->at_end()}, *read,
                       context, lane);
            spend_tree(std::move(read->tree));  // after every target's analysis
            if (!reader->at_end()) {
                record->rest_of_file = std::move(reader);
                record->rest_path = path;
                record->next_tree = first + 1;
                return;
            }
        }
        for (lane = 0; lane < targets_.size(); ++lane)
            end_into(lane_of(*record, lane), path, *reader);
        record->file_end = true;
    });
    return record;
}

std::unique_ptr<Record> TreeWork::tree(const TreePlace& place, TreeRead read,
                                       const StepContext& context) const {
    auto record = new_record();
    std::size_t lane = 0;
    guarded(*record, lane, place.path, escape_names(),
            [&] { tree_lanes(*record, place, read, context, lane); });
    // The tree was read on the file loop's thread: it goes back there to be released.
    record->spent_tree = std::move(read.tree);
    return record;
}

std::unique_ptr<Record> TreeWork::end_of_file(const std::string& path,
                                              const TreeReader& reader) const {
    auto record = new_record();
    for (std::size_t lane = 0; lane < targets_.size(); ++lane)
        end_into(lane_of(*record, lane), path, reader);
    record->file_end = true;
    return record;
}

// A file whose supports all read 0 while its nodes' comments hold values: one warning, which
// says so when the attribute given held no number, else names the attributes the comments hold.
void TreeWork::end_into(Record& record, const std::string& path, const TreeReader& reader) const {
    const std::string values = reader.unused_comment_values();
    if (values.empty()) return;
    record.flush(Record::Flush::kPlain);
    std::ostream& err = record.err();
    err << messages::kWarning << shown_name(path, true);
    if (const std::optional<std::string>& value = reader.attribute_without_number()) {
        err << messages::kNoNumberBefore << shown_name(config_.read.support_attribute, true)
            << messages::kNoNumberExample << shown_value(*value) << messages::kNoNumberAfter;
    } else {
        err << messages::kUnusedCommentsBefore << shown_name(values, true)
            << messages::kUnusedCommentsAfter;
    }
    err << std::endl;
}

// The tree analysed for each target in turn, `lane` the one at work. Each analysis but the last
// gives the tree back as it was read.
void TreeWork::tree_lanes(Record& record, const TreePlace& place, TreeRead& read,
                          const StepContext& context, std::size_t& lane) const {
    LanesShare shared;
    for (lane = 0; lane < targets_.size(); ++lane) {
        tree_into(lane_of(record, lane), lane, place, read, context, lane + 1 < targets_.size(),
                  shared);
    }
}

void TreeWork::tree_into(Record& record, std::size_t lane, const TreePlace& place, TreeRead& read,
                         const StepContext& context, bool restore, LanesShare& shared) const {
    record.counts_row = true;
    if (config_.read.dialect == Dialect::kStandard) begin_tree(record, place);
    if (read.tree == nullptr) {
        if (config_.table) {
            write_table_row(record.out(), key_row(place, TreeStatus::kMalformed, lane));
        } else {
            record.err() << malformed_message(read.malformed, place.path) << std::endl;
        }
        return;
    }
    const Analysis& analysis = lane == 0 ? *context.analysis : *context.more[lane - 1];
    if (!ready_to_analyse(record, lane, analysis, context)) return;
    if (check_ && lane == 0) check_(place);
    const AnalysisSettings& settings = analysis.settings();
    const bool three_way_root = read.tree->root_children == 3;
    // The leaf names tell every target the same: the separator and the groups are the run's.
    if (config_.leading_options && !shared.names.has_value())
        shared.names = see_leaf_names(*read.tree, settings.separator, analysis.naming().groups);
    std::optional<LeafNamesSeen> names = shared.names;
    std::optional<TreeChanges>& changes = shared.changes;
    if (restore && !changes.has_value()) changes.emplace(*read.tree);
    // One target alone has nothing to share: it would only keep what no one takes.
    SharedAnalyses* share = targets_.size() > 1 ? &shared.analyses : nullptr;
    AnalysisResult result =
        analyse(*read.tree, analysis, needs_, restore ? &*changes : nullptr, share);
    record.seen = TreeSeen{result.target_leaves, three_way_root,
                           std::move(result.outgroups_matched), std::move(names)};
    write_tree(record, place, result, settings, share != nullptr ? &shared.row_key : nullptr);
    if (needs_.picture) {
        const PictureSource source{place.path, place.tree, place.several, settings.prefix,
                                   config_.label};
        PictureIdentity identity(source);
        std::string svg = draw_picture(*read.tree, result, settings, source, identity);
        record.picture = Record::Picture{std::move(identity), std::move(svg)};
    }
    if (restore) changes->undo();
}

// Where a tree is about to be analysed: rows and diagnostics keep their order on a shared
// terminal, and a report that can no longer be written ends the run; then the group file's news
// and an unusable pattern, either of which ends the run. True when the tree is to be analysed.
bool TreeWork::ready_to_analyse(Record& record, std::size_t lane, const Analysis& analysis,
                                const StepContext& context) const {
    record.flush(Record::Flush::kOrEnd);
    record.analysed = true;
    if (!context.news.empty()) record.err() << context.news;
    const std::string& pattern_error = analysis.pattern_error();
    if (!context.fatal && !pattern_error.empty())
        write_pattern_error(record.err(), targets_[lane], pattern_error);
    if (!context.fatal && pattern_error.empty()) return true;
    record.ends_run = kExitFatal;
    return false;
}

// A tree file that cannot be opened, or whose compressed text cannot be had (`got`, and its
// `reason`): its header (once more when `headed`) and the message, with --table its row. The
// table accounts for the file and goes on; the report ends here.
void TreeWork::unreadable(Record& record, std::size_t lane, const std::string& path, bool headed,
                          SourceRead got, const std::string& reason) const {
    // Its row uses up a number, as a malformed tree's does: the pictures keep the numbers of
    // their rows.
    record.counts_row = true;
    if (!headed) begin_tree(record, TreePlace{path, 1, false});
    if (config_.table)
        write_table_row(record.out(),
                        key_row(TreePlace{path, 1, false}, TreeStatus::kUnreadable, lane));
    record.flush(Record::Flush::kPlain);
    record.err() << messages::kFileNotOpenedBefore << shown_name(path, escape_names());
    if (got == SourceRead::kNotOpened) record.err() << messages::kFileNotOpenedAfter;
    if (got == SourceRead::kNoGzip) record.err() << messages::kNoGzipAfter;
    if (got == SourceRead::kDamagedGzip) record.err() << messages::kDamagedGzipAfter << reason;
    record.err() << std::endl;
    if (config_.table) {
        record.status = kExitFatal;
    } else {
        record.ends_run = kExitFatal;
    }
}

// The report's header line of a tree. The table has none.
void TreeWork::begin_tree(Record& record, const TreePlace& place) const {
    if (config_.table) return;
    write_tree_header(record.out(), place.path, place.tree, place.several, escape_names());
}

// What the analysis of a tree gives: with --table its row, which holds what the report says on
// standard error (the leaves it was analysed without, the reason a tree has no row); otherwise
// those messages and the report's rows. With `row_key`, the rows of the tree's targets share
// their first cells, written there by the first.
void TreeWork::write_tree(Record& record, const TreePlace& place, const AnalysisResult& result,
                          const AnalysisSettings& settings, std::string* row_key) const {
    if (config_.table) {
        TableRow row = table_row(result, place.path, place.tree, settings.prefix, config_.label);
        row.controls = escape_names();
        if (row_key != nullptr) {
            if (row_key->empty()) append_row_key(*row_key, row.file, row.tree, row.controls);
            row.key_cells = *row_key;
        }
        append_table_row(record.out_text(), row);
        return;
    }
    const bool escape = escape_names();
    std::ostream& err = record.err();
    if (result.set_aside) write_set_aside(err, result.outliers.names, escape);
    write_status_message(err, result.status);
    if (result.status == TreeStatus::kNoRoot) {
        write_no_root(err, settings.root.text,
                      place.several ? place.path + ':' + std::to_string(place.tree) : place.path,
                      escape);
    }
    write_rows(record.out(), settings.prefix, result.sisters, result.support, escape);
}

TableRow TreeWork::key_row(const TreePlace& place, TreeStatus status, std::size_t lane) const {
    TableRow row;
    row.file = place.path;
    row.tree = place.tree;
    row.target = targets_[lane];
    row.status = status;
    row.label = config_.label;
    row.controls = escape_names();
    return row;
}

}  // namespace tavrin
