// The files a program makes in one folder of its user's, written so that nothing outside the
// folder is ever written: each file is written whole to a new temporary file, created in the
// folder (never through a link), then renamed over its name. An entry of that name that is a
// symbolic link is replaced, never followed; one that is a folder or a special file (a pipe, a
// device) is left alone and the write refused. The folder itself may be reached through a link.
#ifndef TAVRIN_PLATFORM_FOLDER_FILES_H
#define TAVRIN_PLATFORM_FOLDER_FILES_H

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace tavrin {

// Refusal of an entry that is a special file (neither a regular file, a link nor a folder).
constexpr int kNotARegularFile = -1;

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

    // The first `limit` bytes (or fewer) of the regular file `name`; none when there is no such
    // entry, or it is not a regular file (a link is not followed), or it cannot be read.
    std::optional<std::string> read_head(const std::string& name, std::size_t limit) const;

    // Writes `bytes` as the entry `name` (one component, no '/'), replacing a regular file or a
    // link of that name. 0 when all was written; otherwise the system's error number (EISDIR
    // for a folder of that name) or kNotARegularFile, and the folder is as it was. `former`,
    // when given, receives read_head(name, limit) of a regular file it replaces, and none
    // otherwise.
    int replace(const std::string& name, std::string_view bytes,
                std::optional<std::string>* former = nullptr, std::size_t limit = 0);

private:
    std::string path_;
    int descriptor_ = -1;  // the open folder, where the system has descriptors for folders
    int error_ = 0;
    unsigned long process_ = 0;  // tells this process's temporary files from others'
    unsigned long serial_ = 0;   // numbers the temporary files of this process
};

}  // namespace tavrin

#endif  // TAVRIN_PLATFORM_FOLDER_FILES_H
