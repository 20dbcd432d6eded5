#include "output/progress.h"

#include <chrono>
#include <cmath>
#include <utility>

#include "output/escapes.h"

namespace tavrin {
namespace {

// Back to the line's start, and the rest of the line erased.
constexpr const char* kLineStart = "\r";
constexpr const char* kEraseToEnd = "\x1b[K";

// `value` (at least 0) with one decimal, always written with a point.
std::string tenths(double value) {
    const auto count = static_cast<unsigned long long>(std::llround(value * 10));
    return std::to_string(count / 10) + '.' + std::to_string(count % 10);
}

}  // namespace

Progress::Clock Progress::steady_clock() {
    return [] {
        const auto now = std::chrono::steady_clock::now().time_since_epoch();
        return std::chrono::duration<double>(now).count();
    };
}

Progress::Progress(std::ostream& err, std::string program, std::size_t files, bool terminal,
                   Clock clock, std::function<void()> before_draw)
    : err_(*err.rdbuf()),
      program_(std::move(program)),
      files_(files),
      terminal_(terminal),
      clock_(std::move(clock)),
      before_draw_(std::move(before_draw)),
      start_(clock_()),
      last_update_(start_) {}

std::string Progress::duration(double seconds) {
    if (!(seconds >= 0)) seconds = 0;
    if (seconds < 59.95) return tenths(seconds) + " s";
    const auto whole = static_cast<unsigned long long>(std::llround(seconds));
    const auto two_digits = [](unsigned long long n) {
        return std::string(n < 10 ? "0" : "") + std::to_string(n);
    };
    if (whole < 3600) return std::to_string(whole / 60) + ':' + two_digits(whole % 60);
    return std::to_string(whole / 3600) + ':' + two_digits(whole / 60 % 60) + ':' +
           two_digits(whole % 60);
}

void Progress::tree_done() {
    ++trees_done_;
    maybe_update();
}

void Progress::file_done() {
    ++files_done_;
    maybe_update();
}

// "<program>: 3/35 files, 120 trees, 48.0 trees/s, 2.5 s elapsed, about 26.7 s left"; the
// estimate from the share of the files done, once one is.
std::string Progress::line(double elapsed) const {
    std::string text = program_ + ": " + std::to_string(files_done_) + '/' +
                       counted(files_, "file", "files") + ", " +
                       counted(trees_done_, "tree", "trees");
    if (elapsed > 0) {
        const double rate = static_cast<double>(trees_done_) / elapsed;
        text +=
            ", " + (rate < 99.95 ? tenths(rate) : std::to_string(std::llround(rate))) + " trees/s";
    }
    text += ", " + duration(elapsed) + " elapsed";
    if (files_done_ > 0 && files_done_ < files_) {
        const double left =
            elapsed * static_cast<double>(files_ - files_done_) / static_cast<double>(files_done_);
        text += ", about " + duration(left) + " left";
    }
    return text;
}

// A line that cannot be written is let go: the run's output and status do not depend on it.
void Progress::write(const std::string& text) {
    err_.sputn(text.data(), static_cast<std::streamsize>(text.size()));
    err_.pubsync();
}

void Progress::maybe_update() {
    const double now = clock_();
    if (now - last_update_ < interval()) return;
    last_update_ = now;
    if (terminal_) {
        if (before_draw_) before_draw_();
        write(kLineStart + line(now - start_) + kEraseToEnd);
        shown_ = true;
    } else {
        write(line(now - start_) + '\n');
    }
}

void Progress::clear() {
    if (!shown_) return;
    shown_ = false;
    write(std::string(kLineStart) + kEraseToEnd);
}

void Progress::finish() {
    if (terminal_) {
        clear();
        return;
    }
    write(program_ + ": " + counted(files_done_, "file", "files") + ", " +
          counted(trees_done_, "tree", "trees") + " in " + duration(clock_() - start_) + '\n');
}

ClearingBuffer::int_type ClearingBuffer::overflow(int_type c) {
    if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
    progress_.clear();
    return target_.sputc(traits_type::to_char_type(c));
}

std::streamsize ClearingBuffer::xsputn(const char* bytes, std::streamsize count) {
    if (count <= 0) return 0;
    progress_.clear();
    return target_.sputn(bytes, count);
}

}  // namespace tavrin
