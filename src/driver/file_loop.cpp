#include "driver/file_loop.h"

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
#include "output/messages.h"
#include "output/report.h"
#include "output/table_format.h"
#include "tree/tree_source.h"

namespace tavrin {
namespace {

// A loaded group file's warnings, or why it could not be loaded: written where the next tree is
// analysed, as a run of one thread writes them.
struct GroupNews {
    std::string text;
    bool failed = false;
};

// A step given out, and what comes of it.
struct Slot {
    std::future<std::unique_ptr<Record>> record;
    std::optional<GroupNews> news;  // the group file as it stood when the step was given out
};

// The file loop: steps are given out in the run's order to up to `threads` threads (none: one at
// a time, here), and their records written in that order as they come. `reading` names the file
// being read or analysed here, for a run that ends because memory ran out.
class FileLoop {
public:
    FileLoop(const RunConfig& config, std::istream* input, RunOutput& output)
        : config_(config),
          work_(config),
          output_(output),
          out_(output.out()),
          err_(output.err()),
          threads_(config.threads > 1 ? config.threads : 0),  // 1: no thread but this one
          // This thread works too while it waits for the next record to write.
          pool_(threads_ == 0 ? 0 : threads_ - 1),
          // Steps given out and not written yet: one at a time without threads, else at most
          // three for each thread besides the one it works on.
          in_flight_(threads_ == 0 ? 1 : 3 * threads_) {
        input_.stream = input;
        if (!config.group_file.empty()) group_file_.emplace(config.group_file);
    }

    // Processes the files; the exit status, before the report is flushed.
    int run() {
        if (!config_.draw_dir.empty() && !open_picture_folder()) return kExitFatal;
        if (!config_.files.empty()) warn_of_prefix_like_option(err_, config_.analysis.prefix);
        if (config_.table) write_table_header(out_);
        prepare_pattern();
        std::size_t next_file = 0;
        while (next_file < config_.files.size() || !slots_.empty()) {
            while (next_file < config_.files.size() && slots_.size() < in_flight_)
                give_out_file(config_.files[next_file++]);
            std::unique_ptr<Record> record = take_front();
            if (!write(*record)) return status_;
            if (record->rest_of_file != nullptr) {
                if (!read_rest(*record)) return status_;
            }
        }
        output_.flush_report();
        if (pictures_) warn_of_replaced_pictures(err_, config_.draw_dir, *pictures_);
        run_seen_.warn(err_, config_);
        return status_;
    }

    const std::string& reading() const { return *reading_; }

private:
    // The group relations and the pattern as they stand now; a group file read anew or that
    // cannot be read gives `news`, written where the tree is analysed.
    Preparation prepare(std::optional<GroupNews>& news) {
        if (group_file_.has_value()) {
            try {
                refresh_groups(news);
            } catch (const std::bad_alloc&) {
                std::ostringstream text;
                text << messages::kOutOfMemory << config_.group_file << '\n';
                news = GroupNews{text.str(), true};
                group_failed_ = true;
            }
        }
        return Preparation{settings_, !group_failed_ && pattern_error_.empty()};
    }

    void refresh_groups(std::optional<GroupNews>& news) {
        GroupFileChecks checks;
        const GroupRelations::LoadResult load = group_file_->refresh(&checks);
        std::ostringstream text;
        if (load == GroupRelations::LoadResult::kLoaded) checks.write(text, config_.group_file);
        write_group_file_error(text, load, config_.group_file);
        group_failed_ = load != GroupRelations::LoadResult::kLoaded;
        if (group_failed_ || !text.str().empty()) news = GroupNews{text.str(), group_failed_};
        if (!group_failed_ && group_loads_ != group_file_->loads()) {
            auto settings = std::make_shared<AnalysisSettings>(*settings_);
            settings->groups = group_file_->relations();
            settings_ = std::move(settings);
            group_loads_ = group_file_->loads();
        }
    }

    // How the step given out in `slot` gets its preparation: without threads when its tree is
    // about to be analysed, as a run of one thread does it; with threads now, in the run's
    // order.
    Prepare preparation_for(Slot& slot) {
        if (threads_ == 0) return [this, &slot] { return prepare(slot.news); };
        const Preparation now = prepare(slot.news);
        return [now] { return now; };
    }

    // The settings of the run with the pattern compiled once; what is wrong with the pattern is
    // said where the first tree is analysed.
    void prepare_pattern() {
        auto settings = std::make_shared<AnalysisSettings>(config_.analysis);
        pattern_error_ = compile_target_test(*settings);
        settings_ = std::move(settings);
    }

    void give_out_file(const std::string& path) {
        reading_ = &path;
        slots_.emplace_back();
        Slot& slot = slots_.back();
        std::optional<SourceRead> got;
        std::string text, reason;
        if (config_.read.dialect == Dialect::kStandard && path == "-") {
            // Standard input can be read only once, in the run's order: here.
            try {
                got = read_tree_source(path, input_, text, reason);
            } catch (const std::bad_alloc&) {
                slot.record = ready(out_of_memory_record(path));
                return;
            }
        }
        Prepare prepare = preparation_for(slot);
        slot.record = give_out([this, path, got, text = std::move(text), reason = std::move(reason),
                                prepare = std::move(prepare)]() mutable {
            return work_.file(path, got, std::move(text), std::move(reason), prepare);
        });
    }

    std::unique_ptr<Record> out_of_memory_record(const std::string& path) const {
        auto record = std::make_unique<Record>();
        out_of_memory(*record, path, config_.read.dialect == Dialect::kStandard);
        return record;
    }

    static std::future<std::unique_ptr<Record>> ready(std::unique_ptr<Record> record) {
        std::promise<std::unique_ptr<Record>> promise;
        promise.set_value(std::move(record));
        return promise.get_future();
    }

    template <typename Make>
    std::future<std::unique_ptr<Record>> give_out(Make make) {
        auto promise = std::make_shared<std::promise<std::unique_ptr<Record>>>();
        std::future<std::unique_ptr<Record>> record = promise->get_future();
        pool_.submit([promise, make = std::move(make)]() mutable { promise->set_value(make()); });
        return record;
    }

    std::unique_ptr<Record> take_front() {
        Slot slot = std::move(slots_.front());
        slots_.pop_front();
        if (slot.news.has_value()) pending_news_ = std::move(slot.news);
        // Rather than sleep until the record is ready, this thread takes steps waiting in the
        // pool (the oldest first, the record's own when no thread has started it yet).
        while (slot.record.wait_for(std::chrono::seconds(0)) != std::future_status::ready &&
               pool_.run_waiting()) {
        }
        return slot.record.get();
    }

    // The trees of a file after its first, read here in order and analysed as the others are:
    // they are written before anything of the files after it. False when the run ended.
    bool read_rest(Record& first) {
        std::unique_ptr<TreeReader> reader = std::move(first.rest_of_file);
        const std::string path = first.rest_path;
        std::deque<Slot> saved;
        saved.swap(slots_);  // the later files wait
        const std::size_t limit = threads_ == 0 ? 1 : threads_;
        std::size_t k = first.next_tree;
        bool more = true;
        while (more || !slots_.empty()) {
            while (more && slots_.size() < limit) {
                reading_ = &path;
                std::optional<TreeRead> read;
                try {
                    release_spent_tree();  // one tree of the file held at a time
                    read = reader->next();
                } catch (const std::bad_alloc&) {
                    slots_.emplace_back();
                    slots_.back().record = ready(out_of_memory_record(path));
                    more = false;
                    break;
                }
                if (!read.has_value()) {
                    more = false;
                    break;
                }
                give_out_tree(TreePlace{path, k++, true}, std::move(*read));
            }
            if (slots_.empty()) break;
            std::unique_ptr<Record> record = take_front();
            if (!write(*record)) return false;
        }
        std::unique_ptr<Record> end = work_.end_of_file(path, *reader);
        slots_.swap(saved);
        return write(*end);
    }

    void give_out_tree(TreePlace place, TreeRead read) {
        slots_.emplace_back();
        Slot& slot = slots_.back();
        Prepare prepare = preparation_for(slot);
        auto shared_read = std::make_shared<TreeRead>(std::move(read));
        slot.record =
            give_out([this, place = std::move(place), shared_read, prepare = std::move(prepare)] {
                return work_.tree(place, std::move(*shared_read), prepare);
            });
    }

    // Writes `record`; false when the run ends at it, `status_` then saying how.
    bool write(Record& record) {
        for (const Record::Piece& piece : record.pieces()) {
            if (!write_piece(piece)) return false;
        }
        if (record.counts_row) ++rows_;
        if (record.seen.has_value()) run_seen_.tree(*record.seen);
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
        const bool flushed = output_.flush_report();
        if (piece.flush == Record::Flush::kPlain) return true;
        if (!flushed) {
            status_ = kExitSuccess;  // finish() reports the report that cannot be written
            return false;
        }
        if (piece.flush == Record::Flush::kBeforeTree) return ready_for_tree();
        return true;
    }

    // The group file's news and the pattern's verdict, where a tree is about to be analysed.
    bool ready_for_tree() {
        if (pending_news_.has_value()) {
            err_ << pending_news_->text << std::flush;
            const bool failed = pending_news_->failed;
            pending_news_.reset();
            if (failed) {
                status_ = kExitFatal;
                return false;
            }
        }
        if (!pattern_error_.empty()) {
            write_pattern_error(err_, config_.analysis.prefix, pattern_error_);
            status_ = kExitFatal;
            return false;
        }
        return true;
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
    bool write_picture(const Record::Picture& picture) {
        const std::string name = picture.identity.name(rows_);
        const int error = pictures_->write(name, picture.svg, picture.identity.source());
        if (error == 0) return true;
        output_.flush_report();
        err_ << messages::kCannotWritePicture << pictures_->path_of(name) << ": "
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
    std::size_t in_flight_;
    std::deque<Slot> slots_;
    std::optional<GroupFile> group_file_;
    std::size_t group_loads_ = 0;  // the group file's loads that settings_ has seen
    bool group_failed_ = false;
    std::optional<GroupNews> pending_news_;
    std::shared_ptr<const AnalysisSettings> settings_;
    std::string pattern_error_;
    StandardInput input_;
    const std::string* reading_ = &config_.analysis.prefix;  // replaced before anything is read
    RunSeen run_seen_;
    std::optional<PictureFolder> pictures_;  // with --draw, once its folder is there
    std::size_t rows_ = 0;  // rows so far in the run: malformed and unreadable ones too
    int status_ = kExitSuccess;
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
    output.err() << messages::kOutOfMemory
                 << shown_name(loop.reading(), config.read.dialect == Dialect::kStandard)
                 << std::endl;
    return kExitFatal;
}

}  // namespace tavrin
