#include "driver/file_loop.h"

#include <cstring>
#include <memory>
#include <new>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "analysis/group_file_checks.h"
#include "analysis/group_relations.h"
#include "analysis/pipeline.h"
#include "cli/exit_status.h"
#include "draw/picture.h"
#include "draw/picture_file.h"
#include "driver/warnings.h"
#include "output/messages.h"
#include "output/report.h"
#include "output/table_format.h"
#include "platform/files.h"
#include "tree/phylogeny.h"
#include "tree/tree_reader.h"
#include "tree/tree_source.h"

namespace tavrin {
namespace {

// Where a tree stands among the arguments: its file, and its number there when the file holds
// several.
struct TreePlace {
    const std::string& path;
    std::size_t tree;  // from 1
    bool several;      // the file holds more than one tree
};

// The file loop, and what it writes: the report, or with --table the table. `reading` names the
// file being read or analysed, for a run that ends because memory ran out.
class FileLoop {
public:
    FileLoop(const RunConfig& config, std::istream* input, RunOutput& output)
        : config_(config),
          settings_(config.analysis),
          output_(output),
          out_(output.out()),
          err_(output.err()) {
        input_.stream = input;
        if (!config.group_file.empty()) group_file_.emplace(config.group_file);
        needs_.outliers = config.table;
        needs_.picture = !config.draw_dir.empty();
    }

    // Processes the files; the exit status, before the report is flushed.
    int run() {
        if (!config_.draw_dir.empty() && !open_picture_folder()) return kExitFatal;
        if (!config_.files.empty()) warn_of_prefix_like_option(err_, config_.analysis.prefix);
        if (config_.table) write_table_header(out_);
        int status = kExitSuccess;
        for (const std::string& path : config_.files) {
            reading_ = &path;
            // A file of the classic dialect holds one tree: its header goes out before the file
            // is read. A standard Newick file's header waits for its first tree.
            const bool one_tree = config_.read.dialect == Dialect::kClassic;
            if (one_tree) begin_tree(TreePlace{path, 1, false});
            std::string text, reason;
            const SourceRead got = read_text(path, one_tree, text, reason);
            if (got != SourceRead::kRead) {
                // The table accounts for the file and goes on; the report ends here.
                status = kExitFatal;
                if (!unreadable(TreePlace{path, 1, false}, one_tree, got, reason)) return status;
                continue;
            }
            if (one_tree && holds_several_trees(text)) {
                output_.flush_report();
                warn_of_several_trees(err_, path);
            }
            TreeReader reader(std::move(text), config_.read);
            const std::size_t skipped = reader.skip(config_.burnin);
            if (const std::optional<int> ended = run_trees(path, reader, !one_tree, skipped)) {
                return *ended;
            }
            warn_unused_comments(path, reader);
        }
        output_.flush_report();
        if (pictures_) warn_of_replaced_pictures(err_, config_.draw_dir, *pictures_);
        target_seen_.warn_if_never_seen(err_, config_);
        return status;
    }

    const std::string& reading() const { return *reading_; }

private:
    // The classic dialect reads a file's lines joined; standard Newick reads its bytes as they
    // are (decompressed; "-" is standard input), so that the offsets in its messages are offsets
    // in the file.
    SourceRead read_text(const std::string& path, bool one_tree, std::string& text,
                         std::string& reason) {
        if (!one_tree) return read_tree_source(path, input_, text, reason);
        return read_tree_file(path, text) ? SourceRead::kRead : SourceRead::kNotOpened;
    }

    // A file whose supports all read 0 while its nodes' comments hold values: one warning.
    void warn_unused_comments(const std::string& path, const TreeReader& reader) {
        const std::string values = reader.unused_comment_values();
        if (values.empty()) return;
        output_.flush_report();
        err_ << messages::kWarning << path << messages::kUnusedCommentsBefore << values
             << messages::kUnusedCommentsAfter << std::endl;
    }

    // The trees of one file, in order after the `skipped` ones, each headed when `headers`; the
    // exit status when the run ends here (0 too: a report that can no longer be written is
    // finish()'s to report).
    std::optional<int> run_trees(const std::string& path, TreeReader& reader, bool headers,
                                 std::size_t skipped) {
        for (std::size_t k = skipped + 1; std::optional<TreeRead> read = reader.next(); ++k) {
            const TreePlace place{path, k, k > 1 || !reader.at_end()};
            ++trees_seen_;
            if (headers) begin_tree(place);
            if (read->tree == nullptr) {
                if (config_.table) {
                    write_table_row(out_, key_row(place, TreeStatus::kMalformed));
                } else {
                    err_ << malformed_message(read->malformed, path) << std::endl;
                }
                continue;
            }
            // Rows and diagnostics keep their order on a shared terminal; a report that can no
            // longer be written ends the run.
            if (!output_.flush_report()) return 0;
            if (!prepare_analysis()) return kExitFatal;
            reading_ = &path;
            const AnalysisResult result = analyse(read->tree, settings_, needs_);
            target_seen_.tree(result.target_leaves);
            write_tree(place, result);
            if (!draw(place, *read->tree, result)) return kExitFatal;
        }
        return std::nullopt;
    }

    // A tree file that cannot be opened, or whose compressed text cannot be had (`got`, and
    // its `reason`): its header (once more when `headed`) and the message, with --table its
    // row. Whether the run goes on: only with --table.
    bool unreadable(const TreePlace& place, bool headed, SourceRead got,
                    const std::string& reason) {
        // Its row uses up a number, as a malformed tree's does: the pictures keep the numbers
        // of their rows.
        ++trees_seen_;
        if (!headed) begin_tree(place);
        if (config_.table) write_table_row(out_, key_row(place, TreeStatus::kUnreadable));
        output_.flush_report();
        err_ << messages::kFileNotOpenedBefore << place.path;
        if (got == SourceRead::kNotOpened) err_ << messages::kFileNotOpenedAfter;
        if (got == SourceRead::kNoGzip) err_ << messages::kNoGzipAfter;
        if (got == SourceRead::kDamagedGzip) err_ << messages::kDamagedGzipAfter << reason;
        err_ << std::endl;
        return config_.table;
    }

    // The report's header line of a tree. The table has none.
    void begin_tree(const TreePlace& place) {
        if (config_.table) return;
        write_tree_header(out_, place.path, place.tree, place.several, escape_names());
    }

    // Standard Newick quotes let a name hold a tab or a line break: escaped, rows stay rows.
    bool escape_names() const { return config_.read.dialect == Dialect::kStandard; }

    // What the analysis of a tree gives: with --table its row, which holds what the report says
    // on standard error (the leaves it was analysed without, the reason a tree has no row);
    // otherwise those messages and the report's rows.
    void write_tree(const TreePlace& place, const AnalysisResult& result) {
        if (config_.table) {
            write_table_row(
                out_, table_row(result, place.path, place.tree, settings_.prefix, config_.label));
            return;
        }
        const bool escape = escape_names();
        if (result.set_aside) write_set_aside(err_, result.outliers.names, escape);
        write_status_message(err_, result.status);
        if (result.status == TreeStatus::kNoRoot) {
            write_no_root(
                err_, settings_.root.text,
                place.several ? place.path + ':' + std::to_string(place.tree) : place.path);
        }
        write_rows(out_, settings_.prefix, result.sisters, result.support, escape);
    }

    // The row of a tree that was not analysed: its key and status.
    TableRow key_row(const TreePlace& place, TreeStatus status) const {
        TableRow row;
        row.file = place.path;
        row.tree = place.tree;
        row.target = settings_.prefix;
        row.status = status;
        row.label = config_.label;
        return row;
    }

    // With --draw, makes the pictures' folder when missing and opens it. False, with the
    // message written, when it cannot be had.
    bool open_picture_folder() {
        int error = make_picture_folder(config_.draw_dir);
        if (error == 0) {
            pictures_.emplace(config_.draw_dir);
            error = pictures_->error();
        }
        if (error == 0) return true;
        err_ << messages::kCannotWritePicture << config_.draw_dir << ": " << std::strerror(error)
             << std::endl;
        return false;
    }

    // With --draw, the tree's picture, after what the analysis wrote. False, with the message
    // written, when it could not be written.
    bool draw(const TreePlace& place, const Phylogeny& tree, const AnalysisResult& result) {
        if (!pictures_) return true;
        const PictureSource source{place.path, trees_seen_, place.tree, place.several,
                                   config_.label};
        const std::string name =
            picture_name(place.path, trees_seen_, place.tree, place.several, config_.label);
        const int error = pictures_->write(name, draw_picture(tree, result, settings_, source),
                                           picture_source(place.path, place.tree, config_.label));
        if (error == 0) return true;
        output_.flush_report();
        err_ << messages::kCannotWritePicture << pictures_->path_of(name) << ": "
             << (error == kNotARegularFile ? messages::kNotARegularFile : std::strerror(error))
             << std::endl;
        return false;
    }

    // Loads the group file when it is new or changed, and compiles the pattern once. False,
    // with its message written, when either cannot be used.
    bool prepare_analysis() {
        if (group_file_.has_value()) {
            reading_ = &config_.group_file;
            GroupFileChecks checks;
            const GroupRelations::LoadResult load = group_file_->refresh(&checks);
            if (load == GroupRelations::LoadResult::kLoaded) checks.write(err_, config_.group_file);
            write_group_file_error(err_, load, config_.group_file);
            if (load != GroupRelations::LoadResult::kLoaded) return false;
            settings_.groups = group_file_->relations();
        }
        if (settings_.matcher == nullptr) {
            const std::string error = compile_target_test(settings_);
            if (!error.empty()) {
                write_pattern_error(err_, settings_.prefix, error);
                return false;
            }
        }
        return true;
    }

    const RunConfig& config_;
    AnalysisSettings settings_;
    AnalysisNeeds needs_;
    std::optional<GroupFile> group_file_;
    StandardInput input_;
    RunOutput& output_;
    std::ostream& out_;
    std::ostream& err_;
    const std::string* reading_ = &config_.analysis.prefix;  // replaced before anything is read
    TargetSeen target_seen_;
    std::optional<PictureFolder> pictures_;  // with --draw, once its folder is there
    std::size_t trees_seen_ = 0;  // rows so far in the run: malformed and unreadable ones too
};

}  // namespace

int run_files(const RunConfig& config, std::istream* input, RunOutput& output) {
    FileLoop loop(config, input, output);
    try {
        return loop.run();
    } catch (const std::bad_alloc&) {
    } catch (const std::length_error&) {  // a string asked to grow past its largest size
    }
    output.flush_report();
    output.err() << messages::kOutOfMemory << loop.reading() << std::endl;
    return kExitFatal;
}

}  // namespace tavrin
