#include "platform/folder_files.h"

#include <cerrno>
#include <string>
#include <utility>

#if defined(__has_include)
#if __has_include(<fcntl.h>) && __has_include(<sys/stat.h>) && __has_include(<unistd.h>)
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
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

// A temporary file's name: hidden, and told apart from those of other processes by `process`.
std::string temporary_name(unsigned long process, unsigned long serial) {
    return ".tavrin-" + std::to_string(process) + "-" + std::to_string(serial) + ".tmp";
}

}  // namespace

std::string FolderFiles::path_of(std::string_view name) const {
    std::string path = path_;
    if (path.empty() || path.back() != '/') path += '/';
    return path.append(name);
}

#if defined(TAVRIN_POSIX_FOLDERS)

namespace {

// The call `call` made again while a signal interrupts it.
template <typename Call>
auto retried(Call call) {
    auto result = call();
    while (result < 0 && errno == EINTR)
        result = call();
    return result;
}

// Writes all of `bytes` to `fd`; the error number, or 0.
int write_all(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t wrote = retried([&] { return write(fd, bytes.data(), bytes.size()); });
        if (wrote < 0) return errno != 0 ? errno : EIO;
        if (wrote == 0) return EIO;
        bytes.remove_prefix(static_cast<std::size_t>(wrote));
    }
    return 0;
}

// Why an existing entry of the folder may not be replaced; 0 when it may (or there is none).
// `regular` tells whether it is a regular file.
int refusal(int folder, const std::string& name, bool& regular) {
    struct stat info;
    regular = false;
    if (fstatat(folder, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) return 0;
    if (S_ISDIR(info.st_mode)) return EISDIR;
    if (!S_ISREG(info.st_mode) && !S_ISLNK(info.st_mode)) return kNotARegularFile;
    regular = S_ISREG(info.st_mode);
    return 0;
}

}  // namespace

FolderFiles::FolderFiles(std::string path)
    : path_(std::move(path)), process_(static_cast<unsigned long>(getpid())) {
    descriptor_ = retried([&] { return open(path_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); });
    if (descriptor_ < 0) error_ = errno != 0 ? errno : EIO;
}

FolderFiles::~FolderFiles() {
    if (descriptor_ >= 0) (void)close(descriptor_);
}

std::optional<std::string> FolderFiles::read_head(const std::string& name,
                                                  std::size_t limit) const {
    if (descriptor_ < 0) return std::nullopt;
    // Not blocking: a pipe of that name must not hold the run up.
    const int fd = retried([&] {
        return openat(descriptor_, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    });
    if (fd < 0) return std::nullopt;
    std::optional<std::string> head;
    struct stat info;
    if (fstat(fd, &info) == 0 && S_ISREG(info.st_mode)) {
        head.emplace(limit, '\0');
        std::size_t size = 0;
        while (size < limit) {
            const ssize_t got = retried([&] { return read(fd, &(*head)[size], limit - size); });
            if (got <= 0) break;
            size += static_cast<std::size_t>(got);
        }
        head->resize(size);
    }
    (void)close(fd);
    return head;
}

int FolderFiles::replace(const std::string& name, std::string_view bytes,
                         std::optional<std::string>* former, std::size_t limit) {
    if (former != nullptr) former->reset();
    if (descriptor_ < 0) return error_;
    bool regular = false;
    if (const int refused = refusal(descriptor_, name, regular)) return refused;
    if (regular && former != nullptr) *former = read_head(name, limit);
    std::string temporary;
    int fd = -1;
    for (unsigned tries = 0; fd < 0 && tries < kTemporaryTries; ++tries) {
        temporary = temporary_name(process_, serial_++);
        fd = retried([&] {
            return openat(descriptor_, temporary.c_str(),
                          O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        });
        if (fd < 0 && errno != EEXIST) return errno != 0 ? errno : EIO;
    }
    if (fd < 0) return EEXIST;
    int error = write_all(fd, bytes);
    if (close(fd) != 0 && error == 0 && errno != EINTR) error = errno != 0 ? errno : EIO;
    if (error == 0 && renameat(descriptor_, temporary.c_str(), descriptor_, name.c_str()) != 0)
        error = errno != 0 ? errno : EIO;
    if (error != 0) (void)unlinkat(descriptor_, temporary.c_str(), 0);
    return error;
}

#else

namespace {

// Why an existing entry may not be replaced; 0 when it may (or there is none). `regular` tells
// whether it is a regular file.
int refusal(const std::filesystem::path& path, bool& regular) {
    std::error_code error;
    const std::filesystem::file_status status = std::filesystem::symlink_status(path, error);
    regular = false;
    if (error || !std::filesystem::exists(status)) return 0;
    if (std::filesystem::is_directory(status)) return EISDIR;
    if (!std::filesystem::is_regular_file(status) && !std::filesystem::is_symlink(status))
        return kNotARegularFile;
    regular = std::filesystem::is_regular_file(status);
    return 0;
}

}  // namespace

FolderFiles::FolderFiles(std::string path)
    : path_(std::move(path)), process_(static_cast<unsigned long>(std::random_device{}())) {
    std::error_code error;
    if (!std::filesystem::is_directory(path_, error)) error_ = error ? error.value() : ENOTDIR;
}

FolderFiles::~FolderFiles() = default;

std::optional<std::string> FolderFiles::read_head(const std::string& name,
                                                  std::size_t limit) const {
    std::error_code error;
    const std::string path = path_of(name);
    if (!std::filesystem::is_regular_file(std::filesystem::symlink_status(path, error)))
        return std::nullopt;
    std::ifstream file(path, std::ios::binary);
    if (!file) return std::nullopt;
    std::string head(limit, '\0');
    file.read(&head[0], static_cast<std::streamsize>(limit));
    head.resize(static_cast<std::size_t>(file.gcount()));
    return head;
}

int FolderFiles::replace(const std::string& name, std::string_view bytes,
                         std::optional<std::string>* former, std::size_t limit) {
    if (former != nullptr) former->reset();
    if (error_ != 0) return error_;
    const std::string path = path_of(name);
    bool regular = false;
    if (const int refused = refusal(path, regular)) return refused;
    if (regular && former != nullptr) *former = read_head(name, limit);
    std::string temporary;
    for (unsigned tries = 0; tries < kTemporaryTries; ++tries) {
        temporary = path_of(temporary_name(process_, serial_++));
        std::error_code error;
        if (!std::filesystem::exists(std::filesystem::symlink_status(temporary, error))) break;
    }
    std::ofstream file(temporary, std::ios::binary | std::ios::trunc);
    bool written =
        file.is_open() && file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    file.close();
    written = written && !file.fail();
    std::error_code error;
    if (written) std::filesystem::rename(temporary, path, error);
    if (written && !error) return 0;
    const int reason = error ? error.value() : EIO;
    std::filesystem::remove(temporary, error);
    return reason;
}

#endif

}  // namespace tavrin
