#include "summary/system.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <limits>

#if __has_include(<fcntl.h>)
#include <fcntl.h>
#define TAVRIN_SUMMARY_HAVE_FCNTL 1
#endif

#if __has_include(<sys/resource.h>) && __has_include(<unistd.h>)
#include <sys/resource.h>
#include <unistd.h>
#define TAVRIN_SUMMARY_HAVE_RESOURCES 1
#endif

namespace summary {

std::string system_reason(int error_number) {
    return error_number != 0 ? std::string(" (") + std::strerror(error_number) + ")" : "";
}

int standard_input_closed() {
#if defined(TAVRIN_SUMMARY_HAVE_FCNTL)
    if (fcntl(0, F_GETFD) == -1 && errno == EBADF) return EBADF;
#endif
    return 0;
}

namespace {

#if defined(TAVRIN_SUMMARY_HAVE_RESOURCES)
constexpr std::uint64_t kUnknown = std::numeric_limits<std::uint64_t>::max();

std::uint64_t soft_limit(int resource) {
    rlimit limit;
    if (getrlimit(resource, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) return kUnknown;
    return static_cast<std::uint64_t>(limit.rlim_cur);
}

std::uint64_t physical_memory() {
#if defined(_SC_PHYS_PAGES) && defined(_SC_PAGESIZE)
    const long pages = sysconf(_SC_PHYS_PAGES);
    const long page_size = sysconf(_SC_PAGESIZE);
    if (pages > 0 && page_size > 0) {
        const auto count = static_cast<std::uint64_t>(pages);
        const auto size = static_cast<std::uint64_t>(page_size);
        return count > kUnknown / size ? kUnknown : count * size;
    }
#endif
    return kUnknown;
}

std::uint64_t memory_budget() {
    std::uint64_t smallest = physical_memory();
#if defined(RLIMIT_AS)
    smallest = std::min(smallest, soft_limit(RLIMIT_AS));
#endif
    smallest = std::min(smallest, soft_limit(RLIMIT_DATA));
    return smallest == kUnknown ? kUnknown : smallest / 2;
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
#endif

}  // namespace

bool memory_exhausted() {
#if defined(TAVRIN_SUMMARY_HAVE_RESOURCES)
    static const std::uint64_t budget = memory_budget();
    return budget != kUnknown && peak_resident() > budget;
#else
    return false;
#endif
}

}  // namespace summary
