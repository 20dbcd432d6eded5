#include "summary/system.h"

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <limits>

#include "tree/tree_file.h"

#if __has_include(<fcntl.h>) && __has_include(<sys/resource.h>) && __has_include(<unistd.h>)
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>
#define TAVRIN_SUMMARY_HAVE_POSIX 1
#endif

namespace summary {

std::string system_reason(int error_number) {
    return error_number != 0 ? std::string(" (") + std::strerror(error_number) + ")" : "";
}

int standard_input_closed() {
#if defined(TAVRIN_SUMMARY_HAVE_POSIX)
    if (fcntl(0, F_GETFD) == -1 && errno == EBADF) return EBADF;
#endif
    return 0;
}

#if defined(TAVRIN_SUMMARY_HAVE_POSIX)
namespace {

constexpr std::uint64_t kUnknown = std::numeric_limits<std::uint64_t>::max();

std::uint64_t memory_budget() {
    const std::size_t ceiling = tavrin::memory_ceiling();
    return ceiling == SIZE_MAX ? kUnknown : ceiling / 2;
}

// The most memory the process has held in physical pages so far.
std::uint64_t peak_resident() {
    rusage usage;
    if (getrusage(RUSAGE_SELF, &usage) != 0 || usage.ru_maxrss < 0) return 0;
#if defined(__APPLE__)
    return static_cast<std::uint64_t>(usage.ru_maxrss);  // bytes
#else
    return static_cast<std::uint64_t>(usage.ru_maxrss) * 1024;  // kilobytes
#endif
}

}  // namespace
#endif

bool memory_exhausted() {
#if defined(TAVRIN_SUMMARY_HAVE_POSIX)
    static const std::uint64_t budget = memory_budget();
    return budget != kUnknown && peak_resident() > budget;
#else
    return false;
#endif
}

}  // namespace summary
