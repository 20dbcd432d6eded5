#include "driver/file_loop.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <deque>
#include <future>
#include <memory>
#include <new>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <utility>

#include "analysis/group_file_checks.h"
#include "analysis/group_relations.h"
#include "cli/exit_status.h"
#include "draw/picture_file.h"
#include "driver/record.h"
#include "driver/tree_work.h"
#include "driver/warnings.h"
#include "driver/work_pool.h"
#include "output/escapes.h"
#include "output/messages.h"
#include "output/progress.h"
#include "output/report.h"
#include "output/table_format.h"
#include "pattern/pattern_automaton.h"
#include "tree/tree_source.h"

namespace tavrin {
namespace {

// A step given out: one tree (a file's first, with the file read) or what ends a file, and what
// comes of it: its record, or what it threw.
struct Step {
    std::string path;  // the file it reads, named when memory runs out
    std::future<std::unique_ptr<Record>> record;
    bool rest = false;      // a tree of the file being read after its first, or the file's end
    bool file_end = false;  // the end of the file being read
    bool news = false;      // the step was given news of the run to write (see StepContext)
    StepContext context;
};

// The file loop: steps are given out in the run's order to up to `threads` threads (none: one at
// a time, here), and their records written in that order as they come. A file's text and then
// the group file are read when its step is given out; nothing after a step given news is given
// out until that step is written, so that the news of a step that analyses no tree pass to the
// next. `reading` names the file being read or analysed, for a run that ends because memory ran
// out.
class FileLoop {
public:
    FileLoop(const RunConfig& config, std::istream* input, RunOutput& output, StepCheck check,
             Progress* progress)
        : config_(config),
          work_(config, std::move(check)),
          output_(output),
          out_(output.out()),
          err_(output.err()),
          threads_(config.threads > 1 ? config.threads : 0),  // 1: no thread but this one
          // This thread works too while it waits for the next record to write.
          pool_(threads_ == 0 ? 0 : threads_ - 1),
          // Files given out and not written yet: one at a time without threads, else at most
          // three for each thread; the trees of a file after its first, one for each thread.
          files_in_flight_(threads_ == 0 ? 1 : 3 * threads_),
          rest_in_flight_(threads_ == 0 ? 1 : threads_),
          progress_(progress),
          targets_(config.target_list()),
          stash_(targets_.size() - 1),
          run_seen_(targets_.size()) {
        input_.stream = input;
        if (!config.group_file.empty()) group_file_.emplace(config.group_file);
    }

    // Processes the files; the exit status, before the report is flushed.
    int run() {
        // A repeat count over the limit is refused before any file is read.
        if (pattern_refused_on_reading()) return kExitFatal;
        if (!config_.draw_dir.empty() && !open_picture_folder()) return kExitFatal;
        for (const std::string& target : targets_) {
            if (!config_.files.empty()) warn_of_prefix_like_option(err_, target);
        }
        if (config_.table) out_ << table_header() << '\n';
        // Each target's pattern is compiled once; what is wrong with it is said where the first
        // tree is analysed for it.
        make_analyses(nullptr);
        while (give_out(), !steps_.empty()) {
            Step step = std::move(steps_.front());
            steps_.pop_front();
            std::unique_ptr<Record> record = wait_for(step);
            if (!write(*record)) return status_;
            if (step.news && !record->analysed) carried_ = std::move(step.context);
            if (record->rest_of_file != nullptr) {
                rest_ = std::move(record->rest_of_file);
                rest_path_ = record->rest_path;
                next_tree_ = record->next_tree;
            } else if (!step.rest || step.file_end || record->file_end) {
                if (!write_other_targets()) return status_;
                if (progress_ != nullptr) progress_->file_done();
            }
        }
        if (!release_held(nullptr)) return status_;
        output_.flush_report();
        // With --targets, each target's closing warnings in order, then the run's own.
        if (pictures_ && targets_.size() == 1)
            warn_of_replaced_pictures(err_, config_.draw_dir, *pictures_);
        for (std::size_t lane = 0; lane < targets_.size(); ++lane)
            run_seen_[lane].warn(err_, config_, targets_[lane]);
        if (pictures_ && targets_.size() > 1)
            warn_of_replaced_pictures(err_, config_.draw_dir, *pictures_);
        return status_;
    }

    const std::string& reading() const { return reading_; }

    // The text held back (may_hold) goes out before `next` (null: the run's end). Its own flush
    // is made first, as it would have been, unless `next` begins with a flush of the same kind,
    // which writes both. False when the run ends at that flush.
    bool release_held(const Record* next) {
        if (!holding_) return true;
        holding_ = false;
        const bool covered = next != nullptr && !next->pieces().empty() &&
                             next->pieces().front().kind == Record::Piece::kFlush &&
                             next->pieces().front().flush == Record::Flush::kOrEnd;
        if (!covered && !output_.flush_report()) {
            status_ = kExitSuccess;
            return false;
        }
        out_ << held_;
        held_.clear();
        return true;
    }

private:
    // A repeat count over the limit in a target's pattern: no tree could be searched with it in
    // reasonable time. Says so and answers true; other faults of a pattern are said where the
    // first tree is analysed.
    bool pattern_refused_on_reading() {
        if (!config_.analysis.use_regex) return false;
        for (const std::string& target : targets_) {
            const PatternAutomaton pattern(target);
            if (pattern.error() != PatternAutomaton::Error::repeat_limit) continue;
            write_pattern_error(err_, target, pattern.error_text());
            return true;
        }
        return false;
    }

    // Gives out what may go now, in the run's order: the trees of the file being read before
    // the files after it (they come first, before those already given out), and nothing after a
    // step with news.
    void give_out() {
        while (rest_ != nullptr && rest_steps_ < rest_in_flight_ && rest_news_ == 0)
            give_out_rest();
        while (rest_ == nullptr && next_file_ < config_.files.size() &&
               steps_.size() - rest_steps_ < files_in_flight_ && news_ == 0)
            give_out_file(config_.files[next_file_++]);
    }

    // The context of the next step: the group file read anew when it changed (the analysis
    // made again with its relations), and the news of the run not yet written.
    StepContext next_context() {
        StepContext context = std::move(carried_);
        carried_ = StepContext();
        if (group_file_.has_value()) {
            try {
                refresh_groups(context);
            } catch (const std::bad_alloc&) {
                std::ostringstream text;
                text << messages::kOutOfMemory << config_.group_file << '\n';
                context.news = text.str();
                context.fatal = true;
            }
        }
        context.analysis = analyses_.front();
        context.more.assign(analyses_.begin() + 1, analyses_.end());
        return context;
    }

    // The analysis of each target, with the group relations in force (none: none yet).
    void make_analyses(const GroupRelations* groups) {
        analyses_.clear();
        for (const std::string& target : targets_) {
            AnalysisSettings settings = config_.analysis;
            settings.prefix = target;
            analyses_.push_back(groups == nullptr
                                    ? std::make_shared<const Analysis>(settings)
                                    : std::make_shared<const Analysis>(settings, *groups));
        }
    }

    void refresh_groups(StepContext& context) {
        GroupFileChecks checks;
        const GroupRelations::LoadResult load = group_file_->refresh(&checks);
        std::ostringstream text;
        if (load == GroupRelations::LoadResult::kLoaded) checks.write(text, config_.group_file);
        write_group_file_error(text, load, config_.group_file);
        const bool failed = load != GroupRelations::LoadResult::kLoaded;
        if (failed || !text.str().empty()) {
            context.news = text.str();
            context.fatal = failed;
        }
        if (!failed && group_loads_ != group_file_->loads()) {
            make_analyses(&group_file_->relations());
            group_loads_ = group_file_->loads();
        }
    }

    // Puts `step` in its place (a tree of the file being read before the files given out)
    // and runs `make` for it, on a thread or here; what `make` throws comes back with its
    // record.
    template <typename Make>
    void add(Step step, Make make) {
        std::packaged_task<std::unique_ptr<Record>()> task(std::move(make));
        step.record = task.get_future();
        const bool rest = step.rest;
        if (step.news) {
            ++news_;
            if (rest) ++rest_news_;
        }
        auto place =
            steps_.begin() + static_cast<std::ptrdiff_t>(rest ? rest_steps_ : steps_.size());
        if (rest) ++rest_steps_;
        steps_.insert(place, std::move(step));
        auto shared = std::make_shared<decltype(task)>(std::move(task));
        pool_.submit([shared] { (*shared)(); });
    }

    Step new_step(const std::string& path, bool rest) {
        reading_ = path;
        Step step;
        step.path = path;
        step.rest = rest;
        step.context = next_context();
        step.news = !step.context.news.empty();
        return step;
    }

    // A file's text is read here, in the run's order and before the group file is looked at: a
    // group file rewritten while a tree file is awaited applies to its tree.
    void give_out_file(const std::string& path) {
        reading_ = path;
        release_spent_tree();  // before the file's text and tree take their memory
        auto source =
            std::make_shared<FileText>(read_file_text(path, config_.read.dialect, input_));
        Step step = new_step(path, false);
        const StepContext context = step.context;
        add(std::move(step), [this, path, source, context] {
            return work_.file(path, std::move(*source), context);
        });
    }

    // The next tree of the file being read, or the file's end.
    void give_out_rest() {
        Step step = new_step(rest_path_, true);
        std::optional<TreeRead> read;
        try {
            release_spent_tree();  // one tree of the file held at a time
            read = rest_->next();
        } catch (const std::bad_alloc&) {
            rest_.reset();
            add(std::move(step), [this, path = rest_path_] { return out_of_memory_record(path); });
            return;
        }
        if (!read.has_value()) {
            std::unique_ptr<Record> end = work_.end_of_file(rest_path_, *rest_);
            rest_.reset();
            step.file_end = true;
            add(std::move(step), [end = std::make_shared<std::unique_ptr<Record>>(std::move(end))] {
                return std::move(*end);
            });
            return;
        }
        const TreePlace place{rest_path_, next_tree_++, true};
        const StepContext context = step.context;
        add(std::move(step),
            [this, place, context, read = std::make_shared<TreeRead>(std::move(*read))] {
                return work_.tree(place, std::move(*read), context);
            });
    }

    std::unique_ptr<Record> out_of_memory_record(const std::string& path) const {
        auto record = std::make_unique<Record>();
        out_of_memory(*record, path, config_.read.dialect == Dialect::kStandard);
        return record;
    }

    // The record of `step`, once made; what the step threw is thrown here, in the run's order.
    std::unique_ptr<Record> wait_for(Step& step) {
        if (step.rest) --rest_steps_;
        if (step.news) {
            --news_;
            if (step.rest) --rest_news_;
        }
        reading_ = step.path;
        // Rather than sleep until the record is ready, this thread takes steps waiting in the
        // pool (the oldest first, the record's own when no thread has started it yet).
        while (step.record.wait_for(std::chrono::seconds(0)) != std::future_status::ready &&
               pool_.run_waiting()) {
        }
        return step.record.get();
    }
    // Writes `record` as the first target's, and keeps what it holds for the other targets until
    // its file's end; false when the run ends at it.
    bool write(Record& record) {
        // A record made when memory ran out holds the first target's part alone: the run ends.
        for (std::size_t lane = 1; lane < targets_.size() && lane <= record.lanes.size(); ++lane)
            stash_[lane - 1].push_back(std::move(record.lanes[lane - 1]));
        return write_lane(record, 0);
    }

    // The other targets' records of the file just written, target by target: what runs of
    // their own would write for the file after the first target's. False when the run ends.
    bool write_other_targets() {
        for (std::size_t lane = 1; lane < targets_.size(); ++lane) {
            std::vector<std::unique_ptr<Record>> records;
            records.swap(stash_[lane - 1]);
            for (std::unique_ptr<Record>& record : records) {
                if (!write_lane(*record, lane)) return false;
            }
        }
        return true;
    }

    // Writes `record` of target `lane`; false when the run ends at it, `status_` then saying
    // how.
    bool write_lane(Record& record, std::size_t lane) {
        if (!release_held(&record)) return false;
        const bool hold = lane > 0 && may_hold(record);
        for (const Record::Piece& piece : record.pieces()) {
            if (hold) {
                if (piece.kind == Record::Piece::kOut) held_ += piece.text;
            } else if (!write_piece(piece)) {
                return false;
            }
        }
        holding_ = hold;
        if (record.counts_row) {
            ++rows_;
            if (progress_ != nullptr) progress_->tree_done();
        }
        if (record.seen.has_value()) run_seen_[lane].tree(*record.seen);
        if (record.picture.has_value() && !write_picture(*record.picture)) {
            status_ = kExitFatal;
            return false;
        }
        spend_tree(std::move(record.spent_tree));
        if (record.status.has_value()) status_ = *record.status;
        if (record.ends_run.has_value()) {
            status_ = *record.ends_run;
            return false;
        }
        return true;
    }

    // Whether the text of `record`, a target's after the first, may wait for the next record:
    // the record flushes the report before its text and then does nothing a reader could see
    // before the next flush (no message, no picture, no end). The targets' records of one file
    // come together, so a flush for each would be a write for each target; held, they go out
    // with the next record's flush, one write for the file as a run of one target makes.
    bool may_hold(const Record& record) const {
        const std::vector<Record::Piece>& pieces = record.pieces();
        if (progress_ != nullptr || record.picture.has_value() || record.ends_run.has_value() ||
            pieces.empty() || pieces.front().kind != Record::Piece::kFlush ||
            pieces.front().flush != Record::Flush::kOrEnd)
            return false;
        return std::all_of(pieces.begin() + 1, pieces.end(), [](const Record::Piece& piece) {
            return piece.kind == Record::Piece::kOut;
        });
    }

    bool write_piece(const Record::Piece& piece) {
        switch (piece.kind) {
            case Record::Piece::kOut:
                out_ << piece.text;
                return true;
            case Record::Piece::kErr:
                err_ << piece.text << std::flush;
                return true;
            case Record::Piece::kFlush:
                break;
        }
        if (output_.flush_report() || piece.flush == Record::Flush::kPlain) return true;
        status_ = kExitSuccess;  // finish() reports the report that cannot be written
        return false;
    }

    // With --draw, makes the pictures' folder when missing and opens it. False, with the
    // message written, when it cannot be had.
    bool open_picture_folder() {
        int error = make_picture_folder(config_.draw_dir);
        if (error == 0) {
            pictures_.emplace(config_.draw_dir);
            error = pictures_->files().error();
        }
        if (error == 0) return true;
        err_ << messages::kCannotWritePicture << shown_value(config_.draw_dir) << ": "
             << std::strerror(error) << std::endl;
        return false;
    }

    // With --draw, the tree's picture, after what the analysis wrote. False, with the message
    // written, when it could not be written.
    bool write_picture(const Record::Picture& picture) {
        const std::string name = picture.identity.name(rows_);
        const int error = pictures_->write(name, picture.svg, picture.identity.source());
        if (error == 0) return true;
        output_.flush_report();
        err_ << messages::kCannotWritePicture << shown_value(pictures_->files().path_of(name))
             << ": "
             << (error == kNotARegularFile ? messages::kNotARegularFile : std::strerror(error))
             << std::endl;
        return false;
    }

    const RunConfig& config_;
    TreeWork work_;
    RunOutput& output_;
    std::ostream& out_;
    std::ostream& err_;
    std::size_t threads_;
    WorkPool pool_;
    std::size_t files_in_flight_, rest_in_flight_;
    Progress* progress_;          // null without --progress
    std::deque<Step> steps_;      // given out, in the run's order
    std::size_t rest_steps_ = 0;  // the first of them, the file being read and its end
    std::size_t news_ = 0;        // steps given news, among them
    std::size_t rest_news_ = 0;   // and among the first
    std::size_t next_file_ = 0;
    std::unique_ptr<TreeReader> rest_;  // the file being read after its first tree
    std::string rest_path_;
    std::size_t next_tree_ = 0;
    std::optional<GroupFile> group_file_;
    std::size_t group_loads_ = 0;  // the group file's loads that analysis_ has seen
    // The targets, each one's analysis, and the records of each target after the first kept
    // until their file is written for the targets before them.
    std::vector<std::string> targets_;
    std::vector<std::shared_ptr<const Analysis>> analyses_;
    std::vector<std::vector<std::unique_ptr<Record>>> stash_;
    StepContext carried_;  // news a step written analysed no tree with
    StandardInput input_;
    std::string reading_ = config_.analysis.prefix;  // replaced before anything is read
    std::vector<RunSeen> run_seen_;                  // for each target
    std::optional<PictureFolder> pictures_;          // with --draw, once its folder is there
    std::size_t rows_ = 0;  // rows so far in the run: malformed and unreadable ones too
    int status_ = kExitSuccess;
    std::string held_;      // a target's text that waits for the next record (may_hold)
    bool holding_ = false;  // and its flush with it
};

}  // namespace

int run_files(const RunConfig& config, std::istream* input, RunOutput& output, StepCheck check,
              Progress* progress) {
    FileLoop loop(config, input, output, std::move(check), progress);
    const char* failure = messages::kOutOfMemory;
    std::string reason;
    try {
        return loop.run();
    } catch (const std::bad_alloc&) {
    } catch (const std::length_error&) {  // a string asked to grow past its largest size
    } catch (const std::exception& error) {
        failure = messages::kFailedWhileReading;
        reason = error.what();
    } catch (...) {
        failure = messages::kFailedWhileReading;
    }
    loop.release_held(nullptr);
    output.flush_report();
    output.err() << failure
                 << shown_name(loop.reading(), config.read.dialect == Dialect::kStandard);
    if (!reason.empty()) output.err() << ": " << reason;
    output.err() << std::endl;
    return kExitFatal;
}

}  // namespace tavrin
