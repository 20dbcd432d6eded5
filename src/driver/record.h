// What one step of a run writes, kept in order so that it can be made on any thread and written
// later, in the run's order: the report's text, messages, the points where the report is flushed
// before a message, a picture, and whether the run ends there.
#ifndef TAVRIN_DRIVER_RECORD_H
#define TAVRIN_DRIVER_RECORD_H

#include <cstddef>
#include <memory>
#include <optional>
#include <ostream>
#include <streambuf>
#include <string>
#include <vector>

#include "draw/picture_file.h"
#include "driver/warnings.h"
#include "tree/phylogeny.h"

namespace tavrin {

class TreeReader;

class Record {
public:
    Record();
    ~Record();
    // The streams write into the record itself: it stays where it was made.
    Record(const Record&) = delete;
    Record& operator=(const Record&) = delete;

    // The report's stream and the messages' stream of this step, made when first asked for (a
    // stream costs more to make than a row costs to write).
    std::ostream& out() { return out_ ? *out_ : out_.emplace(&out_buffer_); }
    std::ostream& err() { return err_ ? *err_ : err_.emplace(&err_buffer_); }
    // The report's text to append to at once, in order with what out() writes (it keeps nothing
    // back): a row needs no stream.
    std::string& out_text() { return out_buffer_.text(); }

    enum class Flush {
        kPlain,  // the report is written out before what follows
        kOrEnd,  // and the run ends (status 0) when it can no longer be written
    };
    void flush(Flush kind);

    // One piece of what was written, in order.
    struct Piece {
        enum Kind { kOut, kErr, kFlush };
        Kind kind;
        std::string text;  // kOut, kErr
        Flush flush{};     // kFlush
    };
    const std::vector<Piece>& pieces() const { return pieces_; }

    // The step came to the analysis of its tree (it wrote the news of the run it was given).
    bool analysed = false;
    // The step is a row of the run (a tree, or a file that cannot be read): it uses a number.
    bool counts_row = false;
    // A tree that was analysed: what it tells the run's closing warnings.
    std::optional<TreeSeen> seen;
    // The picture to write once the row's number is known: where the tree comes from, and the
    // document.
    struct Picture {
        PictureIdentity identity;  // its name, once numbered, and the source it records
        std::string svg;
    };
    std::optional<Picture> picture;
    // The run ends after this step with this status.
    std::optional<int> ends_run;
    // The run's status becomes this, and the run goes on.
    std::optional<int> status;
    // The reader of a file whose trees after the first are still to read, in order, the file's
    // path and the number of the next tree in it.
    std::unique_ptr<TreeReader> rest_of_file;
    std::string rest_path;
    std::size_t next_tree = 0;
    // With --targets, what the step writes for each target after the first, in list order: the
    // file loop writes this record as the first target's and each of these as its target's.
    std::vector<std::unique_ptr<Record>> lanes;
    // The step ends its file: what the other targets hold for the file may be written.
    bool file_end = false;
    // The tree this step analysed, released by whoever writes the record (the thread that read
    // it, whose node pool takes its nodes back).
    std::unique_ptr<Phylogeny> spent_tree;

private:
    // Appends what a stream writes to the record's last piece of its kind, or to a new one.
    class Buffer : public std::streambuf {
    public:
        Buffer(Record& record, Piece::Kind kind) : record_(record), kind_(kind) {}

        std::string& text();

    protected:
        int_type overflow(int_type c) override;
        std::streamsize xsputn(const char* s, std::streamsize n) override;

    private:
        Record& record_;
        Piece::Kind kind_;
    };

    std::vector<Piece> pieces_;
    Buffer out_buffer_{*this, Piece::kOut};
    Buffer err_buffer_{*this, Piece::kErr};
    std::optional<std::ostream> out_;
    std::optional<std::ostream> err_;
};

}  // namespace tavrin

#endif  // TAVRIN_DRIVER_RECORD_H
