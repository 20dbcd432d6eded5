#include "platform/folder_files.h"

#include <algorithm>
#include <cerrno>
#include <string>
#include <utility>

#include "platform/interrupts.h"

#if defined(__has_include)
#if __has_include(<fcntl.h>) && __has_include(<sys/stat.h>) && __has_include(<unistd.h>)
#include <fcntl.h>
#include <sys/stat.h>

#include "platform/descriptors.h"
#if defined(O_DIRECTORY) && defined(O_NOFOLLOW) && defined(AT_SYMLINK_NOFOLLOW)
#define TAVRIN_POSIX_FOLDERS 1
#endif
#endif
#endif

#if !defined(TAVRIN_POSIX_FOLDERS)
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <system_error>
#endif

namespace tavrin {

namespace {

// Temporary files are tried under this many names before the write is given up.
constexpr unsigned kTemporaryTries = 100;

// write_unnamed's answer where the system makes no unnamed file.
constexpr int kNoUnnamedFile = -2;

// A temporary file's name: hidden, and told apart from those of other processes by `process`.
std::string temporary_name(unsigned long process, unsigned long serial) {
    return ".tavrin-" + std::to_string(process) + "-" + std::to_string(serial) + ".tmp";
}

// The start of a file that `read_some` reads (the bytes it put in a buffer, 0 at the end, below
// 0 for a failure), as far as `extent` reaches; the blocks are small, since `until` is looked
// for near the start.
template <typename ReadSome>
std::string head_read(ReadSome read_some, HeadExtent extent) {
    std::string head;
    char block[4096];
    while (head.size() < extent.limit) {
        const long got = read_some(block, std::min(sizeof block, extent.limit - head.size()));
        if (got <= 0) break;
        // Where `until` may start: it may have begun in the block before.
        const std::size_t from = head.size() - std::min(head.size(), extent.until.size());
        head.append(block, static_cast<std::size_t>(got));
        if (extent.until.empty()) continue;
        const std::size_t found = head.find(extent.until, from);
        if (found != std::string::npos) {
            head.resize(found + extent.until.size());
            break;
        }
    }
    return head;
}

}  // namespace

std::string FolderFiles::path_of(std::string_view name) const {
    std::string path = path_;
    if (path.empty() || path.back() != '/') path += '/';
    return path.append(name);
}

int FolderFiles::replace(const std::string& name, std::string_view bytes,
                         std::optional<std::string>* former, HeadExtent extent) {
    if (former != nullptr) former->reset();
    if (error_ != 0) return error_;
    bool regular = false;
    if (const int refused = refusal(name, regular)) return refused;
    if (regular && former != nullptr) *former = read_head(name, extent);
    std::string temporary;
    if (const int error = write_temporary(bytes, temporary)) return error;
    return rename_temporary(temporary, name);
}

#if defined(TAVRIN_POSIX_FOLDERS)

using descriptors::retried;

FolderFiles::FolderFiles(std::string path)
    : path_(std::move(path)), process_(static_cast<unsigned long>(getpid())) {
    descriptor_ = retried([&] { return open(path_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); });
    if (descriptor_ < 0) error_ = errno != 0 ? errno : EIO;
}

FolderFiles::~FolderFiles() {
    while (!listed_.empty()) {
        const std::string temporary = listed_.back().first;
        remove_temporary(temporary);
    }
    if (descriptor_ >= 0) (void)close(descriptor_);
}

void FolderFiles::unlist(const std::string& temporary) {
    for (auto it = listed_.begin(); it != listed_.end(); ++it) {
        if (it->first == temporary) {
            listed_.erase(it);
            return;
        }
    }
}

int FolderFiles::write_unnamed(std::string_view bytes, std::string& temporary,
                               std::optional<unsigned> mode) {
#if defined(O_TMPFILE) && defined(AT_SYMLINK_FOLLOW)
    const int fd =
        retried([&] { return openat(descriptor_, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666); });
    if (fd < 0) return kNoUnnamedFile;  // a file system without unnamed files, among others
    descriptors::Descriptor file{fd};
    if (const int error = descriptors::write_all(fd, bytes)) return error;
    if (mode && fchmod(fd, static_cast<mode_t>(*mode)) != 0) return errno != 0 ? errno : EIO;
    // Named through the process's view of its descriptors; without it, a named file is written.
    const std::string self = "/proc/self/fd/" + std::to_string(fd);
    for (unsigned tries = 0; tries < kTemporaryTries; ++tries) {
        temporary = temporary_name(process_, serial_++);
        auto guard = std::make_unique<InterruptGuard>();
        const int linked = guard->listed(descriptor_, temporary, [&] {
            return retried([&] {
                return linkat(AT_FDCWD, self.c_str(), descriptor_, temporary.c_str(),
                              AT_SYMLINK_FOLLOW);
            });
        });
        if (linked == 0) {
            listed_.emplace_back(temporary, std::move(guard));
            file.fd = -1;
            const int error = descriptors::closed_after(fd, 0);
            if (error != 0) remove_temporary(temporary);
            return error;
        }
        if (errno != EEXIST) return kNoUnnamedFile;
    }
    return EEXIST;
#else
    (void)bytes, (void)temporary, (void)mode;
    return kNoUnnamedFile;
#endif
}

int FolderFiles::refusal(const std::string& name, bool& regular) const {
    struct stat info;
    regular = false;
    if (fstatat(descriptor_, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) return 0;
    if (S_ISDIR(info.st_mode)) return EISDIR;
    if (!S_ISREG(info.st_mode) && !S_ISLNK(info.st_mode)) return kNotARegularFile;
    regular = S_ISREG(info.st_mode);
    return 0;
}

std::optional<std::string> FolderFiles::read_head(const std::string& name,
                                                  HeadExtent extent) const {
    if (descriptor_ < 0) return std::nullopt;
    // Not blocking: a pipe of that name must not hold the run up.
    const descriptors::Descriptor file{retried([&] {
        return openat(descriptor_, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    })};
    struct stat info;
    if (file.fd < 0 || fstat(file.fd, &info) != 0 || !S_ISREG(info.st_mode)) return std::nullopt;
    return head_read(
        [&file](char* block, std::size_t size) {
            return static_cast<long>(retried([&] { return read(file.fd, block, size); }));
        },
        extent);
}

int FolderFiles::write_temporary(std::string_view bytes, std::string& temporary,
                                 std::optional<unsigned> mode) {
    if (descriptor_ < 0) return error_;
    if (!swept_) {
        swept_ = true;
        remove_stale_temporaries(descriptor_);
    }
    const int unnamed = write_unnamed(bytes, temporary, mode);
    if (unnamed != kNoUnnamedFile) return unnamed;
    int fd = -1;
    for (unsigned tries = 0; fd < 0 && tries < kTemporaryTries; ++tries) {
        temporary = temporary_name(process_, serial_++);
        auto guard = std::make_unique<InterruptGuard>();
        fd = guard->listed(descriptor_, temporary, [&] {
            return retried([&] {
                return openat(descriptor_, temporary.c_str(),
                              O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
            });
        });
        if (fd >= 0) listed_.emplace_back(temporary, std::move(guard));
        if (fd < 0 && errno != EEXIST) return errno != 0 ? errno : EIO;
    }
    if (fd < 0) return EEXIST;
    int error = descriptors::write_all(fd, bytes);
    if (error == 0 && mode && fchmod(fd, static_cast<mode_t>(*mode)) != 0) error = errno;
    error = descriptors::closed_after(fd, error);
    if (error != 0) remove_temporary(temporary);
    return error;
}

int FolderFiles::rename_temporary(const std::string& temporary, const std::string& name) {
    if (renameat(descriptor_, temporary.c_str(), descriptor_, name.c_str()) == 0) {
        unlist(temporary);
        return 0;
    }
    const int error = errno != 0 ? errno : EIO;
    remove_temporary(temporary);
    return error;
}

void FolderFiles::remove_temporary(const std::string& temporary) {
    (void)unlinkat(descriptor_, temporary.c_str(), 0);
    unlist(temporary);
}

#else

FolderFiles::FolderFiles(std::string path)
    : path_(std::move(path)), process_(static_cast<unsigned long>(std::random_device{}())) {
    std::error_code error;
    if (!std::filesystem::is_directory(path_, error)) error_ = error ? error.value() : ENOTDIR;
}

FolderFiles::~FolderFiles() = default;

int FolderFiles::refusal(const std::string& name, bool& regular) const {
    std::error_code error;
    const std::filesystem::file_status status =
        std::filesystem::symlink_status(path_of(name), error);
    regular = false;
    if (error || !std::filesystem::exists(status)) return 0;
    if (std::filesystem::is_directory(status)) return EISDIR;
    if (!std::filesystem::is_regular_file(status) && !std::filesystem::is_symlink(status))
        return kNotARegularFile;
    regular = std::filesystem::is_regular_file(status);
    return 0;
}

std::optional<std::string> FolderFiles::read_head(const std::string& name,
                                                  HeadExtent extent) const {
    std::error_code error;
    const std::string path = path_of(name);
    if (!std::filesystem::is_regular_file(std::filesystem::symlink_status(path, error)))
        return std::nullopt;
    std::ifstream file(path, std::ios::binary);
    if (!file) return std::nullopt;
    return head_read(
        [&file](char* block, std::size_t size) {
            file.read(block, static_cast<std::streamsize>(size));
            return file.bad() ? -1L : static_cast<long>(file.gcount());
        },
        extent);
}

int FolderFiles::write_temporary(std::string_view bytes, std::string& temporary,
                                 std::optional<unsigned> mode) {
    if (error_ != 0) return error_;
    for (unsigned tries = 0; tries < kTemporaryTries; ++tries) {
        temporary = temporary_name(process_, serial_++);
        std::error_code error;
        if (!std::filesystem::exists(std::filesystem::symlink_status(path_of(temporary), error)))
            break;
    }
    std::ofstream file(path_of(temporary), std::ios::binary | std::ios::trunc);
    bool written =
        file.is_open() && file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    file.close();
    written = written && !file.fail();
    std::error_code error;
    if (written && mode)
        std::filesystem::permissions(path_of(temporary), static_cast<std::filesystem::perms>(*mode),
                                     error);
    if (written && !error) return 0;
    remove_temporary(temporary);
    return error ? error.value() : EIO;
}

int FolderFiles::rename_temporary(const std::string& temporary, const std::string& name) {
    std::error_code error;
    std::filesystem::rename(path_of(temporary), path_of(name), error);
    if (!error) return 0;
    remove_temporary(temporary);
    return error.value();
}

void FolderFiles::remove_temporary(const std::string& temporary) {
    std::error_code error;
    std::filesystem::remove(path_of(temporary), error);
}

#endif

}  // namespace tavrin
