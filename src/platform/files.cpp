#include "platform/files.h"

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <initializer_list>
#include <iterator>
#include <memory>
#include <new>
#include <optional>
#include <system_error>
#include <utility>

#include "platform/huge_pages.h"
#include "platform/memory.h"

#if defined(__has_include)
#if __has_include(<fcntl.h>) && __has_include(<sys/stat.h>) && __has_include(<unistd.h>)
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/descriptors.h"
#define TAVRIN_POSIX_FILES 1
#endif
#endif

#if !defined(TAVRIN_POSIX_FILES)
#include <fstream>
#include <iostream>
#endif

namespace tavrin {

#if defined(TAVRIN_POSIX_FILES)

namespace {

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
        const ssize_t got =
            descriptors::retried([&] { return read(fd, &text[size], capacity - size); });
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
    const int fd = descriptors::retried([&] { return open(path.c_str(), O_RDONLY); });
    const descriptors::Descriptor file{fd};
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
    remove_line_feeds(text);
    return true;
}

void remove_line_feeds(std::string& text) {
    // Found by a block search; the runs between them are moved down whole.
    char* const begin = &text[0];
    char* const end = begin + text.size();
    char* from = static_cast<char*>(std::memchr(begin, '\n', text.size()));
    if (from == nullptr) return;
    char* to = from;
    while (from < end) {
        ++from;  // past the line feed
        char* next =
            static_cast<char*>(std::memchr(from, '\n', static_cast<std::size_t>(end - from)));
        if (next == nullptr) next = end;
        std::memmove(to, from, static_cast<std::size_t>(next - from));
        to += next - from;
        from = next;
    }
    text.resize(static_cast<std::size_t>(to - begin));
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

ProcessStreams process_streams() {
    return ProcessStreams{true, is_terminal(1), is_terminal(2)};
}

bool is_terminal(int descriptor) {
#if defined(TAVRIN_POSIX_FILES)
    return isatty(descriptor) == 1;
#else
    (void)descriptor;
    return false;
#endif
}

std::string system_reason(int error_number) {
    return error_number != 0 ? std::string(" (") + std::strerror(error_number) + ")" : "";
}

std::filesystem::path lexically_absolute(const std::string& path) {
    std::error_code error;
    std::filesystem::path absolute = std::filesystem::absolute(path, error);
    if (error) absolute = path;
    absolute = absolute.lexically_normal();
    if (absolute.has_relative_path() && absolute.filename().empty())
        absolute = absolute.parent_path();
    return absolute;
}

bool same_file(const std::string& a, const std::string& b) {
    if (lexically_absolute(a) == lexically_absolute(b)) return true;
    std::error_code error;
    return std::filesystem::equivalent(a, b, error) && !error;
}

namespace {

#if defined(TAVRIN_POSIX_FILES)
// Opens the file at `path` for writing in place, as it stands (nothing of it is changed yet):
// the descriptor, or -1 with errno set.
int open_in_place(const std::string& path) {
    using descriptors::retried;
    return retried([&] { return open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666); });
}

// Writes `content` over the file open as `fd`, and closes it: the system's error number, or 0.
// A regular file first gets the room the content needs, so that a full disk is found before
// any of its old bytes are overwritten; its old bytes past the content are cut off after.
int write_in_place(int fd, const std::string& content) {
    struct stat info;
    const bool regular = fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
    int error = 0;
#if defined(__linux__)
    // Elsewhere (macOS has no posix_fallocate) the file is written without the reservation, as
    // on a file system that cannot make one.
    if (regular && !content.empty()) {
        const int reserved = posix_fallocate(fd, 0, static_cast<off_t>(content.size()));
        if (reserved != 0 && reserved != EOPNOTSUPP && reserved != EINVAL) error = reserved;
    }
#endif
    if (error == 0) error = descriptors::write_all(fd, content);
    if (error == 0 && regular && ftruncate(fd, static_cast<off_t>(content.size())) != 0)
        error = errno != 0 ? errno : EIO;
    return descriptors::closed_after(fd, error);
}
#else
// Writes `content` over the file at `path` at once, where files have no descriptors.
int write_path_in_place(const std::string& path, const std::string& content) {
    errno = 0;
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    if (file.is_open()) {
        file << content;
        file.close();
        if (!file.fail()) return 0;
    }
    return errno != 0 ? errno : EIO;
}
#endif

}  // namespace

int FileReplacement::write(const std::string& path, const std::string& content) {
    namespace fs = std::filesystem;
    discard();
    std::error_code error;
    const fs::file_status status = fs::status(path, error);  // through a link
    const bool exists = fs::exists(status);
    if (exists && !fs::is_regular_file(status)) return keep_in_place(path, content);
    fs::path target = path;
    if (exists && fs::is_symlink(fs::symlink_status(path, error))) {
        fs::path resolved = fs::canonical(path, error);
        if (!error) target = std::move(resolved);
    }
    const fs::path folder = target.parent_path();
    auto files = std::make_unique<FolderFiles>(folder.empty() ? "." : folder.string());
    // A file replaced keeps its permissions; a new one gets those the process's mask leaves.
    std::optional<unsigned> mode;
    if (exists) mode = static_cast<unsigned>(status.permissions() & fs::perms::mask);
    std::string temporary;
    const int failed = files->write_temporary(content, temporary, mode);
    if (failed == EACCES || failed == EPERM) return keep_in_place(path, content);
    if (failed != 0) return failed;
    folder_ = std::move(files);
    name_ = target.filename().string();
    temporary_ = std::move(temporary);
    return 0;
}

int FileReplacement::keep_in_place(const std::string& path, const std::string& content) {
#if defined(TAVRIN_POSIX_FILES)
    // Opened now, so that a target that cannot be written is known before any other file of
    // the same output is put in place; written by commit().
    in_place_ = open_in_place(path);
    if (in_place_ < 0) return errno != 0 ? errno : EIO;
    in_place_content_ = content;
    return 0;
#else
    return write_path_in_place(path, content);
#endif
}

int FileReplacement::commit() {
    if (in_place_ >= 0) {
        const int fd = in_place_;
        in_place_ = -1;
        const int error = write_in_place(fd, in_place_content_);
        in_place_content_.clear();
        return error;
    }
    if (temporary_.empty()) return 0;
    const int error = folder_->rename_temporary(temporary_, name_);
    temporary_.clear();
    return error;
}

void FileReplacement::discard() {
    if (!temporary_.empty()) folder_->remove_temporary(temporary_);
    temporary_.clear();
#if defined(TAVRIN_POSIX_FILES)
    if (in_place_ >= 0) (void)close(in_place_);
#endif
    in_place_ = -1;
    in_place_content_.clear();
}

}  // namespace tavrin
