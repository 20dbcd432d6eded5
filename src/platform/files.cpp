#include "platform/files.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <initializer_list>
#include <iterator>
#include <new>
#include <system_error>
#include <vector>

#include "platform/huge_pages.h"
#include "platform/memory.h"

#if defined(__has_include)
#if __has_include(<fcntl.h>) && __has_include(<sys/stat.h>) && __has_include(<unistd.h>)
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#define TAVRIN_POSIX_FILES 1
#endif
#endif

#if !defined(TAVRIN_POSIX_FILES)
#include <cerrno>
#include <fstream>
#include <iostream>
#endif

namespace tavrin {

#if defined(TAVRIN_POSIX_FILES)

namespace {

// Closes the descriptor it holds when it goes out of scope.
struct Descriptor {
    int fd;
    ~Descriptor() {
        if (fd >= 0) (void)close(fd);
    }
};

// read_file on a descriptor already open.
bool read_descriptor(int fd, std::string& text) {
    struct stat info;
    if (fstat(fd, &info) != 0) return false;
    text.clear();
    if (S_ISDIR(info.st_mode)) return true;  // opens, but holds no text
    // A regular file gets one byte more than its size, so that its end is seen without growing
    // the buffer; a stream starts with 64 KiB and doubles.
    std::size_t capacity = 65536;
    if (S_ISREG(info.st_mode) && info.st_size >= 0) {
        capacity = static_cast<std::size_t>(info.st_size) + 1;
    }
    reserve_large(text, capacity);
    std::size_t size = 0;
    text.resize(capacity);
    for (;;) {
        const ssize_t got = read(fd, &text[size], capacity - size);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return false;
        if (got == 0) break;  // the end of the file
        size += static_cast<std::size_t>(got);
        if (size < capacity) continue;
        // A full buffer doubles while the old and the new one fit in memory together. A stream
        // that never ends (a character device) would grow until the system stops it: past that
        // point the text is refused as memory run out.
        if (capacity > memory_ceiling() / 3) throw std::bad_alloc();
        capacity *= 2;
        text.resize(capacity);
    }
    text.resize(size);
    return true;
}

}  // namespace

bool read_file(const std::string& path, std::string& text) {
    int fd;
    do {
        fd = open(path.c_str(), O_RDONLY);
    } while (fd < 0 && errno == EINTR);
    const Descriptor file{fd};
    return fd >= 0 && read_descriptor(fd, text);
}

bool read_standard_input(std::string& text) {
    return read_descriptor(STDIN_FILENO, text);
}

#else

bool read_file(const std::string& path, std::string& text) {
    std::ifstream file(path, std::ios::binary);
    if (!file.is_open()) return false;
    text.clear();
    std::error_code error;
    if (std::filesystem::is_directory(path, error)) return true;  // opens, but holds no text
    file.seekg(0, std::ios::end);
    const std::streamoff size = file.tellg();
    file.seekg(0, std::ios::beg);
    if (size > 0 && file) {
        text.resize(static_cast<std::size_t>(size));
        file.read(&text[0], size);
        text.resize(static_cast<std::size_t>(file.gcount()));
        if (file.bad()) return false;
        file.clear();
    }
    text.append(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    return !file.bad();
}

bool read_standard_input(std::string& text) {
    return read_stream(std::cin, text);
}

#endif

bool read_stream(std::istream& in, std::string& text) {
    text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

bool read_tree_file(const std::string& path, std::string& text) {
    if (!read_file(path, text)) return false;
    text.erase(std::remove(text.begin(), text.end(), '\n'), text.end());
    return true;
}

#if defined(TAVRIN_POSIX_FILES)
namespace {

FileTime time_of(const struct timespec& time) {
    return FileTime{static_cast<int64_t>(time.tv_sec), static_cast<int64_t>(time.tv_nsec)};
}

}  // namespace
#endif

FileStamp stamp_of(const std::string& path) {
    FileStamp stamp;
#if defined(TAVRIN_POSIX_FILES)
    struct stat info;
    if (stat(path.c_str(), &info) != 0) return stamp;
    stamp.known = true;
    stamp.is_directory = S_ISDIR(info.st_mode);
    stamp.device = static_cast<uint64_t>(info.st_dev);
    stamp.inode = static_cast<uint64_t>(info.st_ino);
    stamp.size = static_cast<uint64_t>(info.st_size);
#if defined(__APPLE__)
    stamp.modified = time_of(info.st_mtimespec);
    stamp.changed = time_of(info.st_ctimespec);
#else
    stamp.modified = time_of(info.st_mtim);
    stamp.changed = time_of(info.st_ctim);
#endif
#else
    std::error_code error;
    stamp.is_directory = std::filesystem::is_directory(path, error);
#endif
    return stamp;
}

int standard_input_closed() {
#if defined(TAVRIN_POSIX_FILES)
    if (fcntl(0, F_GETFD) == -1 && errno == EBADF) return EBADF;
#endif
    return 0;
}

std::string system_reason(int error_number) {
    return error_number != 0 ? std::string(" (") + std::strerror(error_number) + ")" : "";
}

bool same_file(const std::string& a, const std::string& b) {
    namespace fs = std::filesystem;
    const auto normal = [](const std::string& path) {
        std::error_code error;
        fs::path absolute = fs::absolute(path, error);
        if (error) absolute = path;
        return absolute.lexically_normal().generic_string();
    };
    if (normal(a) == normal(b)) return true;
    std::error_code error;
    return fs::equivalent(a, b, error) && !error;
}

namespace {

// Appends what `read_some` gives (the bytes it read into a buffer, 0 at the end, below 0 for a
// failure) to `text` until `marker` is in it, `limit` bytes are read or the end comes.
template <typename ReadSome>
bool read_head(ReadSome read_some, std::string_view marker, std::size_t limit, std::string& text) {
    text.clear();
    char buffer[4096];  // small: a marker is looked for near the start of a file
    while (text.size() < limit) {
        const long got = read_some(buffer, std::min(sizeof buffer, limit - text.size()));
        if (got < 0) return false;
        if (got == 0) return true;
        const std::size_t from = text.size() >= marker.size() ? text.size() - marker.size() + 1 : 0;
        text.append(buffer, static_cast<std::size_t>(got));
        const std::size_t found = text.find(marker, from);
        if (found != std::string::npos) {
            text.resize(found + marker.size());
            return true;
        }
    }
    return true;
}

}  // namespace

#if defined(TAVRIN_POSIX_FILES)

#if !defined(O_NOFOLLOW)
#define O_NOFOLLOW 0
#endif
#if !defined(O_NONBLOCK)
#define O_NONBLOCK 0
#endif

bool read_file_head(const std::string& path, std::string_view marker, std::size_t limit,
                    std::string& text) {
    int fd;
    do {
        fd = open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK);
    } while (fd < 0 && errno == EINTR);
    const Descriptor file{fd};
    struct stat info;
    if (fd < 0 || fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) return false;
    return read_head(
        [fd](char* buffer, std::size_t size) {
            ssize_t got;
            do {
                got = read(fd, buffer, size);
            } while (got < 0 && errno == EINTR);
            return static_cast<long>(got);
        },
        marker, limit, text);
}

namespace {

// Writes all of `content` to the descriptor; the system's error number, or 0.
int write_all(int fd, const std::string& content) {
    std::size_t done = 0;
    while (done < content.size()) {
        const ssize_t wrote = ::write(fd, content.data() + done, content.size() - done);
        if (wrote < 0 && errno == EINTR) continue;
        if (wrote < 0) return errno;
        if (wrote == 0) return EIO;
        done += static_cast<std::size_t>(wrote);
    }
    return 0;
}

int write_in_place(const std::string& path, const std::string& content) {
    int fd;
    do {
        fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) return errno;
    const int error = write_all(fd, content);
    if (close(fd) != 0 && error == 0 && errno != EINTR) return errno;
    return error;
}

// The mode a file made now gets: what the process's mask leaves of read and write for all.
mode_t creation_mode() {
    const mode_t mask = umask(0);
    umask(mask);
    return 0666 & ~mask;
}

// The file a write to `path` reaches: the file a symbolic link names, or `path` itself.
std::string file_written(const std::string& path) {
    struct stat link;
    if (lstat(path.c_str(), &link) != 0 || !S_ISLNK(link.st_mode)) return path;
    char* const resolved = realpath(path.c_str(), nullptr);
    if (resolved == nullptr) return path;
    std::string target(resolved);
    std::free(resolved);
    return target;
}

}  // namespace

int FileReplacement::write(const std::string& path, const std::string& content) {
    discard();
    struct stat info;
    const bool exists = stat(path.c_str(), &info) == 0;
    if (exists && !S_ISREG(info.st_mode)) return write_in_place(path, content);
    const std::string target = exists ? file_written(path) : path;
    const std::size_t slash = target.rfind('/');
    const std::size_t name_at = slash == std::string::npos ? 0 : slash + 1;
    // ".<name>.XXXXXX" beside the target, the name cut so that it stays a valid name.
    std::string pattern = target.substr(0, name_at) + "." + target.substr(name_at, 200) + ".XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    const int fd = mkstemp(name.data());
    if (fd < 0) {
        const int error = errno;
        return error == EACCES || error == EPERM ? write_in_place(path, content) : error;
    }
    target_ = target;
    temporary_ = name.data();
    int error = write_all(fd, content);
    if (error == 0 && fchmod(fd, exists ? (info.st_mode & 07777) : creation_mode()) != 0)
        error = errno;
    if (close(fd) != 0 && error == 0 && errno != EINTR) error = errno;
    if (error != 0) discard();
    return error;
}

int FileReplacement::commit() {
    if (temporary_.empty()) return 0;
    const int error = std::rename(temporary_.c_str(), target_.c_str()) == 0 ? 0 : errno;
    if (error != 0) discard();
    temporary_.clear();
    return error;
}

void FileReplacement::discard() {
    if (!temporary_.empty()) (void)unlink(temporary_.c_str());
    temporary_.clear();
}

#else

bool read_file_head(const std::string& path, std::string_view marker, std::size_t limit,
                    std::string& text) {
    std::error_code error;
    if (!std::filesystem::is_regular_file(std::filesystem::symlink_status(path, error)))
        return false;
    std::ifstream file(path, std::ios::binary);
    if (!file.is_open()) return false;
    return read_head(
        [&file](char* buffer, std::size_t size) {
            file.read(buffer, static_cast<std::streamsize>(size));
            return file.bad() ? -1L : static_cast<long>(file.gcount());
        },
        marker, limit, text);
}

namespace {

int write_stream(const std::string& path, const std::string& content) {
    errno = 0;
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    if (file.is_open()) {
        file << content;
        file.close();
        if (!file.fail()) return 0;
    }
    return errno != 0 ? errno : EIO;
}

}  // namespace

int FileReplacement::write(const std::string& path, const std::string& content) {
    discard();
    std::error_code error;
    const auto status = std::filesystem::status(path, error);
    if (std::filesystem::exists(status) && !std::filesystem::is_regular_file(status))
        return write_stream(path, content);
    target_ = path;
    temporary_ = path + ".tmp~";
    const int failed = write_stream(temporary_, content);
    if (failed != 0) discard();
    return failed;
}

int FileReplacement::commit() {
    if (temporary_.empty()) return 0;
    std::error_code error;
    std::filesystem::rename(temporary_, target_, error);
    if (error) discard();
    temporary_.clear();
    return error ? error.value() : 0;
}

void FileReplacement::discard() {
    if (!temporary_.empty()) std::remove(temporary_.c_str());
    temporary_.clear();
}

#endif

}  // namespace tavrin
