#include "platform/memory.h"

#include <cstdint>
#include <initializer_list>
#include <limits>

#if defined(__has_include)
#if __has_include(<sys/resource.h>) && __has_include(<unistd.h>)
#include <sys/resource.h>
#include <unistd.h>
#define TAVRIN_POSIX_MEMORY 1
#endif
#endif

namespace tavrin {

#if defined(TAVRIN_POSIX_MEMORY)

std::size_t memory_ceiling() {
    std::size_t ceiling = SIZE_MAX;
#if defined(RLIMIT_AS) && defined(RLIMIT_DATA)
    for (const int resource : {RLIMIT_AS, RLIMIT_DATA}) {
        struct rlimit limit;
        if (getrlimit(resource, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY &&
            limit.rlim_cur < ceiling) {
            ceiling = static_cast<std::size_t>(limit.rlim_cur);
        }
    }
#endif
#if defined(_SC_PHYS_PAGES) && defined(_SC_PAGESIZE)
    const long pages = sysconf(_SC_PHYS_PAGES);
    const long page_size = sysconf(_SC_PAGESIZE);
    if (pages > 0 && page_size > 0 &&
        static_cast<std::size_t>(pages) < ceiling / static_cast<std::size_t>(page_size)) {
        ceiling = static_cast<std::size_t>(pages) * static_cast<std::size_t>(page_size);
    }
#endif
    return ceiling;
}

namespace {

constexpr std::uint64_t kUnknown = std::numeric_limits<std::uint64_t>::max();

std::uint64_t memory_budget() {
    const std::size_t ceiling = memory_ceiling();
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

bool memory_exhausted() {
    static const std::uint64_t budget = memory_budget();
    return budget != kUnknown && peak_resident() > budget;
}

#else

std::size_t memory_ceiling() {
    return SIZE_MAX;
}

bool memory_exhausted() {
    return false;
}

#endif

}  // namespace tavrin
