// How far a long run is, told on the messages' stream while it runs: files and trees done,
// trees per second, the time spent and an estimate of what remains. On a terminal one line is
// redrawn in place and taken away at the end; elsewhere each update is a line of its own and a
// closing line says how many files and trees were done in how long.
#ifndef TAVRIN_OUTPUT_PROGRESS_H
#define TAVRIN_OUTPUT_PROGRESS_H

#include <cstddef>
#include <functional>
#include <ostream>
#include <streambuf>
#include <string>

namespace tavrin {

class Progress {
public:
    // Seconds from any fixed point, never going back.
    using Clock = std::function<double()>;
    static Clock steady_clock();

    // `program` heads every line; `files` is the number of files of the run. The lines go to
    // `err`'s buffer, past the stream (and so without flushing a stream tied to it). On a
    // terminal, `before_draw` is called before the line is drawn, so that what the run wrote on
    // another stream that shares the terminal comes out first.
    Progress(std::ostream& err, std::string program, std::size_t files, bool terminal,
             Clock clock = steady_clock(), std::function<void()> before_draw = nullptr);

    // One more tree (or one more file) done; the line is updated when its time has come.
    void tree_done();
    void file_done();
    // Before anything else is written on a terminal: the line is taken away, and drawn again at
    // the next update.
    void clear();
    // At the end of the run: the line taken away on a terminal, else the closing line.
    void finish();

    // The shortest time between two updates, in seconds.
    double interval() const { return terminal_ ? 0.25 : 1.0; }

    // `seconds` as the lines show a time: "4.2 s" under a minute, else "m:ss" or "h:mm:ss".
    static std::string duration(double seconds);

private:
    void maybe_update();
    std::string line(double elapsed) const;
    void write(const std::string& text);

    std::streambuf& err_;
    std::string program_;
    std::size_t files_;
    bool terminal_;
    Clock clock_;
    std::function<void()> before_draw_;
    double start_;
    double last_update_;
    std::size_t files_done_ = 0;
    std::size_t trees_done_ = 0;
    bool shown_ = false;  // a line stands drawn on the terminal
};

// A stream buffer that passes everything to `target` as it comes, the progress line taken away
// first: a stream that shares the terminal with the line writes through one.
class ClearingBuffer : public std::streambuf {
public:
    ClearingBuffer(std::streambuf& target, Progress& progress)
        : target_(target), progress_(progress) {}

protected:
    int_type overflow(int_type c) override;
    std::streamsize xsputn(const char* bytes, std::streamsize count) override;
    int sync() override { return target_.pubsync(); }

private:
    std::streambuf& target_;
    Progress& progress_;
};

}  // namespace tavrin

#endif  // TAVRIN_OUTPUT_PROGRESS_H
