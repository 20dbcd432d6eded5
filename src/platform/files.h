// Files and descriptors as the system gives them: reading a file whole, what identifies one
// state of a file, whether standard input is open, the system's words for a failure, which
// paths name one file, and a file replaced whole.
#ifndef TAVRIN_PLATFORM_FILES_H
#define TAVRIN_PLATFORM_FILES_H

#include <cstdint>
#include <filesystem>
#include <istream>
#include <memory>
#include <string>
#include <utility>

#include "platform/folder_files.h"

namespace tavrin {

// Replaces `text` with the file's bytes as read_file reads them, every '\n' removed in place (a
// carriage return is kept): hand it on with std::move to keep it the only copy.
bool read_tree_file(const std::string& path, std::string& text);
// Removes every '\n' of `text` in place, keeping the order of the other bytes.
void remove_line_feeds(std::string& text);

// Replaces `text` with the file's bytes, read once, straight into a buffer sized from the file
// when it is a regular one. False when the file cannot be opened or read; a directory opens but
// holds no text: it reads as empty. Throws std::bad_alloc when the text does not fit in
// memory, and when a file that never ends (a character device) outgrows what memory can hold.
bool read_file(const std::string& path, std::string& text);

// read_file on standard input, from where it stands to its end.
bool read_standard_input(std::string& text);
// Replaces `text` with what `in` holds from where it stands to its end; false when it cannot be
// read.
bool read_stream(std::istream& in, std::string& text);

// When a file's content (modification time) or its inode (change time) last changed: seconds
// and nanoseconds.
using FileTime = std::pair<int64_t, int64_t>;

// What identifies one state of a file: where it lives, its size and when it last changed. The
// modification time can be set back (touch -d, cp -p, archive tools) after a rewrite of the same
// size; the change time cannot, so it is part of the state too.
struct FileStamp {
    bool known = false;  // false where the system does not tell, or the file is not there
    bool is_directory = false;
    uint64_t device = 0, inode = 0, size = 0;
    FileTime modified, changed;

    bool same_file_state(const FileStamp& other) const {
        return known && other.known && device == other.device && inode == other.inode &&
               size == other.size && modified == other.modified && changed == other.changed;
    }
};

// The state of the file at `path` now.
FileStamp stamp_of(const std::string& path);

// The system's error for standard input's descriptor when it is not open (`<&-`), else 0. Some
// standard libraries (libc++) take a failed read of standard input for its end, so a closed
// descriptor is asked of the system before the stream is read. 0 where the system does not tell.
int standard_input_closed();

// Whether the open file `descriptor` (1: standard output, 2: standard error) is a terminal,
// where a line may be redrawn in place; false where the system does not tell.
bool is_terminal(int descriptor);

// What a program's streams are when they are the process's own: standard input, read through its
// descriptor, and which of standard output and error reach a terminal. The streams of an
// in-process run (a test's) are none of these.
struct ProcessStreams {
    bool own_input = false;
    bool out_terminal = false;
    bool err_terminal = false;
};
// The process's own streams, as its `main` hands them over.
ProcessStreams process_streams();

// " (<the system's description of error_number>)", or nothing for 0.
std::string system_reason(int error_number);

// `path` made absolute and lexically normalised, by its text alone (never through the links on
// the way), without a trailing separator: `./out.svg`, `out.svg` and `dir/../out.svg` are one.
std::filesystem::path lexically_absolute(const std::string& path);

// Whether `a` and `b` name one file: the same path once lexically_absolute, whether the file
// exists yet or not; or the same existing file by device and inode (through a link, say).
bool same_file(const std::string& a, const std::string& b);

// A file written whole and only then put in place of its target: a full disk or any other
// failure leaves the target as it was, with no partial or empty file beside it. The content
// goes to a new temporary file in the target's folder (see FolderFiles), renamed over the
// target by commit(); a file replaced keeps its permissions. A target that exists and is not a
// regular file (a device such as /dev/full or /dev/stdout, a pipe) is written in place, as is a
// file whose folder does not let a new file be made there: write() opens it, without changing
// it, and commit() writes it, so that a target that cannot be written at all is found before
// any other file is put in place. A symbolic link is
// followed: the file it names is replaced. The temporary file is removed when the replacement
// is dropped uncommitted.
class FileReplacement {
public:
    FileReplacement() = default;
    FileReplacement(const FileReplacement&) = delete;
    FileReplacement& operator=(const FileReplacement&) = delete;
    ~FileReplacement() { discard(); }

    // Writes `content` for the file at `path`. The system's error number of a failure (after
    // which nothing of it is left), or 0.
    int write(const std::string& path, const std::string& content);
    // Puts the written file in place of its target. The system's error number, or 0.
    int commit();
    // Whether commit() writes the target in place (it cannot then be put back as it was).
    bool in_place() const { return in_place_ >= 0; }
    // Removes the temporary file, if any, and leaves a target to be written in place as it is.
    void discard();

private:
    // Readies the target at `path` to be written in place by commit(). The system's error
    // number, or 0.
    int keep_in_place(const std::string& path, const std::string& content);

    std::unique_ptr<FolderFiles> folder_;  // the target's folder
    std::string name_;                     // the target's name in it
    std::string temporary_;                // empty when nothing waits to be renamed
    int in_place_ = -1;                    // the target open to be written in place
    std::string in_place_content_;         // what it is to be written
};

}  // namespace tavrin

#endif  // TAVRIN_PLATFORM_FILES_H
