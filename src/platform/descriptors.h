// Open files as POSIX systems give them, for the platform's sources that have <unistd.h>: a
// call made again while a signal interrupts it, a descriptor closed when it goes out of scope,
// and a text written whole.
#ifndef TAVRIN_PLATFORM_DESCRIPTORS_H
#define TAVRIN_PLATFORM_DESCRIPTORS_H

#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <string_view>

namespace tavrin::descriptors {

// The call `call` made again while a signal interrupts it.
template <typename Call>
auto retried(Call call) {
    auto result = call();
    while (result < 0 && errno == EINTR)
        result = call();
    return result;
}

// Closes the descriptor it holds when it goes out of scope.
struct Descriptor {
    int fd;
    ~Descriptor() {
        if (fd >= 0) (void)close(fd);
    }
};

// Writes all of `bytes` to `fd`; the system's error number, or 0.
inline int write_all(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t wrote = retried([&] { return write(fd, bytes.data(), bytes.size()); });
        if (wrote < 0) return errno != 0 ? errno : EIO;
        if (wrote == 0) return EIO;
        bytes.remove_prefix(static_cast<std::size_t>(wrote));
    }
    return 0;
}

// Closes `fd` after a write: `error` when there was one already, else the close's own.
inline int closed_after(int fd, int error) {
    if (close(fd) != 0 && error == 0 && errno != EINTR) return errno != 0 ? errno : EIO;
    return error;
}

}  // namespace tavrin::descriptors

#endif  // TAVRIN_PLATFORM_DESCRIPTORS_H
