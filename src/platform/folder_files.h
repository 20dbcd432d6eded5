// The files a program makes in one folder of its user's, written so that nothing outside the
// folder is ever written: each file is written whole to a new temporary file, created in the
// folder (never through a link), then renamed over its name. An entry of that name that is a
// symbolic link is replaced, never followed; one that is a folder or a special file (a pipe, a
// device) is left alone and the write refused. The folder itself may be reached through a link.
#ifndef TAVRIN_PLATFORM_FOLDER_FILES_H
#define TAVRIN_PLATFORM_FOLDER_FILES_H

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tavrin {

class InterruptGuard;

// Refusal of an entry that is a special file (neither a regular file, a link nor a folder).
constexpr int kNotARegularFile = -1;

// How much of a file's start FolderFiles::read_head reads.
struct HeadExtent {
    constexpr HeadExtent() = default;
    constexpr HeadExtent(std::size_t bytes, std::string_view stop = {})
        : limit(bytes), until(stop) {}

    std::size_t limit = 0;   // bytes at most
    std::string_view until;  // when not empty, the text after which reading stops
};

class FolderFiles {
public:
    // The folder at `path`, which must exist; it is opened once, so that its entries stay those
    // of one folder whatever becomes of the path.
    explicit FolderFiles(std::string path);
    ~FolderFiles();
    FolderFiles(const FolderFiles&) = delete;
    FolderFiles& operator=(const FolderFiles&) = delete;

    // The system's error number of opening the folder, or 0.
    int error() const { return error_; }
    // "<path>/<name>", as messages name an entry.
    std::string path_of(std::string_view name) const;

    // The start of the regular file `name`, read in small blocks: at most `extent.limit` bytes,
    // and no further than the first `extent.until` (included) when that is not empty. None when
    // there is no such entry, or it is not a regular file (a link is not followed; a pipe is not
    // waited for), or it cannot be read.
    std::optional<std::string> read_head(const std::string& name, HeadExtent extent) const;

    // Writes `bytes` as the entry `name` (one component, no '/'), replacing a regular file or a
    // link of that name. 0 when all was written; otherwise the system's error number (EISDIR
    // for a folder of that name) or kNotARegularFile, and the folder is as it was. `former`,
    // when given, receives read_head(name, extent) of a regular file it replaces, and none
    // otherwise.
    int replace(const std::string& name, std::string_view bytes,
                std::optional<std::string>* former = nullptr, HeadExtent extent = {});

    // The two halves of replace, for files that are put in place together: a new temporary file
    // in the folder holding `bytes` (created exclusively, never through a link), given the
    // permissions `mode` when one is given. 0 and its name in `temporary`, or the system's
    // error number, and then no file is left. The file is written unnamed where the system
    // allows (O_TMPFILE) and named only when whole; while it has a name, an interrupt removes
    // it (platform/interrupts.h). The first temporary file of a folder removes those that
    // runs ended before removing, more than an hour ago.
    int write_temporary(std::string_view bytes, std::string& temporary,
                        std::optional<unsigned> mode = std::nullopt);
    // Renames the temporary file over the entry `name`, or removes it when that fails. The
    // system's error number, or 0.
    int rename_temporary(const std::string& temporary, const std::string& name);
    // Removes a temporary file that is not to be renamed.
    void remove_temporary(const std::string& temporary);

private:
    // Why the existing entry `name` may not be replaced; 0 when it may (or there is none).
    // `regular` tells whether it is a regular file.
    int refusal(const std::string& name, bool& regular) const;
    // write_temporary through an unnamed file; kNoUnnamedFile where the system makes none.
    int write_unnamed(std::string_view bytes, std::string& temporary, std::optional<unsigned> mode);
    // Takes the temporary file off the interrupts' list.
    void unlist(const std::string& temporary);

    std::string path_;
    int descriptor_ = -1;  // the open folder, where the system has descriptors for folders
    int error_ = 0;
    unsigned long process_ = 0;  // tells this process's temporary files from others'
    unsigned long serial_ = 0;   // numbers the temporary files of this process
    bool swept_ = false;         // stale temporary files removed
    // The temporary files named and not yet renamed or removed.
    std::vector<std::pair<std::string, std::unique_ptr<InterruptGuard>>> listed_;
};

}  // namespace tavrin

#endif  // TAVRIN_PLATFORM_FOLDER_FILES_H
