#include "driver/file_loop.h"

#include <cstring>
#include <iostream>
#include <memory>
#include <new>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "analysis/group_file_checks.h"
#include "analysis/group_relations.h"
#include "analysis/pipeline.h"
#include "analysis/report.h"
#include "analysis/table.h"
#include "draw/picture.h"
#include "draw/picture_file.h"
#include "driver/output.h"
#include "driver/warnings.h"
#include "messages.h"
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
    explicit FileLoop(const Options& options) : options_(options) {
        settings_.prefix = options.prefix;
        settings_.use_regex = options.use_regex;
        settings_.separator = options.separator;
        if (!options.root.empty()) settings_.root = make_root_list(options.root);
        read_options_.dialect = options.standard_newick ? Dialect::kStandard : Dialect::kClassic;
        read_options_.support_field = static_cast<int>(options.support_field);
        read_options_.support_attribute = options.support_attribute;
    }

    // Processes the files; the exit status, before the report is flushed.
    int run(const std::vector<std::string>& arg) {
        if (!options_.draw_dir.empty()) {
            if (const int error = make_picture_folder(options_.draw_dir)) {
                std::cerr << messages::kCannotWritePicture << options_.draw_dir << ": "
                          << std::strerror(error) << std::endl;
                return kFatalInputStatus;
            }
        }
        if (options_.first_file < arg.size()) warn_of_prefix_like_option(std::cerr, options_);
        if (options_.table) write_table_header(std::cout);
        int status = 0;
        for (size_t i = options_.first_file; i < arg.size(); ++i) {
            const std::string& path = arg[i];
            reading_ = &path;
            // A file of the classic dialect holds one tree: its header goes out before the file
            // is read, as it always has. A standard Newick file's header waits for its first tree.
            const bool one_tree = read_options_.dialect == Dialect::kClassic;
            if (one_tree) begin_tree(TreePlace{path, 1, false});
            std::string text, reason;
            const SourceRead got = read_text(path, one_tree, text, reason);
            if (got != SourceRead::kRead) {
                // The table accounts for the file and goes on; the report ends here.
                status = kFatalInputStatus;
                if (!unreadable(TreePlace{path, 1, false}, one_tree, got, reason)) return status;
                continue;
            }
            if (one_tree && holds_several_trees(text)) {
                flush_report();
                warn_of_several_trees(std::cerr, path);
            }
            TreeReader reader(std::move(text), read_options_);
            const std::size_t skipped = reader.skip(options_.burnin);
            if (const std::optional<int> ended = run_trees(path, reader, !one_tree, skipped)) {
                return *ended;
            }
            warn_unused_comments(path, reader);
        }
        flush_report();
        target_seen_.warn_if_never_seen(std::cerr, options_);
        return status;
    }

    const std::string& reading() const { return *reading_; }

private:
    // The classic dialect reads a file's lines joined; standard Newick reads its bytes as they
    // are (decompressed; "-" is standard input), so that the offsets in its messages are offsets
    // in the file.
    static SourceRead read_text(const std::string& path, bool one_tree, std::string& text,
                                std::string& reason) {
        if (!one_tree) return read_tree_source(path, text, reason);
        return read_tree_file(path, text) ? SourceRead::kRead : SourceRead::kNotOpened;
    }

    // A file whose supports all read 0 while its nodes' comments hold values: one warning.
    void warn_unused_comments(const std::string& path, const TreeReader& reader) const {
        const std::string values = reader.unused_comment_values();
        if (values.empty()) return;
        flush_report();
        std::cerr << messages::kWarning << path << messages::kUnusedCommentsBefore << values
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
                if (options_.table) {
                    write_malformed_row(std::cout, key(place));
                } else {
                    std::cerr << malformed_message(read->malformed, path) << std::endl;
                }
                continue;
            }
            // Rows and diagnostics keep their order on a shared terminal; a report that can no
            // longer be written ends the run.
            if (!flush_report()) return 0;
            if (!prepare_analysis()) return kFatalInputStatus;
            reading_ = &path;
            const AnalysisResult result = analyse(read->tree);
            target_seen_.tree(result.target_leaves);
            write_tree(place, result);
            if (!draw(place, *read->tree, result)) return kFatalInputStatus;
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
        if (options_.table) write_unreadable_row(std::cout, key(place));
        flush_report();
        std::cerr << messages::kFileNotOpenedBefore << place.path;
        if (got == SourceRead::kNotOpened) std::cerr << messages::kFileNotOpenedAfter;
        if (got == SourceRead::kNoGzip) std::cerr << messages::kNoGzipAfter;
        if (got == SourceRead::kDamagedGzip) std::cerr << messages::kDamagedGzipAfter << reason;
        std::cerr << std::endl;
        return options_.table;
    }

    // The report's header line of a tree: `<File>:`, or `<File>:<k>:` for the k-th tree of a
    // file of several. The table has none.
    void begin_tree(const TreePlace& place) const {
        if (options_.table) return;
        write_name(std::cout, place.path, options_.standard_newick);
        std::cout << ':';
        if (place.several) std::cout << place.tree << ':';
        std::cout << '\n';
    }

    // What the analysis of a tree gives: with --table its row, which holds what the report says
    // on standard error (the leaves it was analysed without, the reason a tree has no row);
    // otherwise those messages and the report's rows.
    void write_tree(const TreePlace& place, const AnalysisResult& result) const {
        if (options_.table) {
            write_table_row(std::cout, key(place), result);
            return;
        }
        // Standard Newick quotes let a name hold a tab or a line break: escaped, rows stay rows.
        const bool escape = options_.standard_newick;
        write_set_aside(std::cerr, result, escape);
        write_outcome_message(std::cerr, result);
        write_no_root(std::cerr, result, options_.root,
                      place.several ? place.path + ':' + std::to_string(place.tree) : place.path);
        write_rows(std::cout, result, options_.prefix, escape);
    }

    // With --draw, the tree's picture, after what the analysis wrote. False, with the message
    // written, when it could not be written.
    bool draw(const TreePlace& place, const Phylogeny& tree, const AnalysisResult& result) const {
        if (options_.draw_dir.empty()) return true;
        const PictureSource source{place.path, trees_seen_, place.tree, place.several};
        std::string path = options_.draw_dir;
        if (path.back() != '/') path += '/';
        path += picture_name(place.path, trees_seen_, place.tree, place.several);
        const int error = write_picture(path, draw_picture(tree, result, settings_, source));
        if (error == 0) return true;
        flush_report();
        std::cerr << messages::kCannotWritePicture << path << ": " << std::strerror(error)
                  << std::endl;
        return false;
    }

    TableRowKey key(const TreePlace& place) const {
        return TableRowKey{place.path, place.tree, options_.prefix};
    }

    // The table accounts for every tree's outliers, and --outliers needs them to choose the
    // tree analysed; a picture shows a tree that is not a clade as it was read, not as the
    // search left it.
    AnalysisResult analyse(std::unique_ptr<Phylogeny>& tree) {
        if (options_.table || options_.max_outliers > 0) {
            return analyse_tree_with_outliers(tree, settings_, options_.max_outliers);
        }
        if (!options_.draw_dir.empty()) return analyse_tree_as_read(tree, settings_);
        return analyse_tree(*tree, settings_);
    }

    // Loads the group file again (an unchanged one is reused) and compiles the pattern once.
    // False, with its message written, when either cannot be used.
    bool prepare_analysis() {
        if (!options_.group_file.empty()) {
            reading_ = &options_.group_file;
            GroupFileChecks checks;
            const GroupRelations::LoadResult load =
                load_group_relations(options_.group_file, settings_.groups, &checks);
            if (load == GroupRelations::LoadResult::kLoaded)
                checks.write(std::cerr, options_.group_file);
            write_group_file_error(std::cerr, load, options_.group_file);
            if (load != GroupRelations::LoadResult::kLoaded) return false;
        }
        if (settings_.matcher == nullptr) {
            const std::string error = compile_target_test(settings_);
            if (!error.empty()) {
                write_pattern_error(std::cerr, options_.prefix, error);
                return false;
            }
        }
        return true;
    }

    const Options& options_;
    AnalysisSettings settings_;
    ReadOptions read_options_;
    const std::string* reading_ = &options_.prefix;  // replaced before anything is read
    TargetSeen target_seen_;
    std::size_t trees_seen_ = 0;  // rows so far in the run: malformed and unreadable ones too
};

}  // namespace

int run_files(const std::vector<std::string>& arg, const Options& options) {
    FileLoop loop(options);
    try {
        return loop.run(arg);
    } catch (const std::bad_alloc&) {
    } catch (const std::length_error&) {  // a string asked to grow past its largest size
    }
    flush_report();
    std::cerr << messages::kOutOfMemory << loop.reading() << std::endl;
    return kFatalInputStatus;
}

}  // namespace tavrin
