#include "platform/cpus.h"

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <sstream>
#include <string>
#include <string_view>
#include <thread>

#if defined(__linux__) && defined(__has_include)
#if __has_include(<sched.h>)
#include <sched.h>
#define TAVRIN_LINUX_AFFINITY 1
#endif
#endif

namespace tavrin {
namespace {

// The processors of the affinity mask; 0 where the system does not tell.
std::size_t affinity_cpus() {
#if defined(TAVRIN_LINUX_AFFINITY) && defined(CPU_COUNT)
    cpu_set_t set;
    CPU_ZERO(&set);
    if (sched_getaffinity(0, sizeof set, &set) == 0) {
        const int count = CPU_COUNT(&set);
        if (count > 0) return static_cast<std::size_t>(count);
    }
#endif
    return 0;
}

std::string first_line(const char* path) {
    std::ifstream file(path);
    std::string line;
    std::getline(file, line);
    return line;
}

// The processors a quota allows: cgroup v2's `cpu.max` text ("max 100000", "150000 100000"),
// rounded up; 0 when it sets no limit or cannot be read.
std::size_t cpus_of_quota(std::string_view cpu_max) {
    std::istringstream words{std::string(cpu_max)};
    std::string quota_text;
    std::int64_t period = 0;
    if (!(words >> quota_text >> period) || period <= 0 || quota_text == "max") return 0;
    std::int64_t quota = 0;
    std::istringstream quota_words(quota_text);
    if (!(quota_words >> quota) || quota <= 0) return 0;
    return static_cast<std::size_t>((quota + period - 1) / period);
}

// The quota of the process's control group: cgroup v2 at its usual mount, else v1's cpu
// controller; 0 when none is set or none can be read.
std::size_t quota_cpus() {
    std::size_t cpus = cpus_of_quota(first_line("/sys/fs/cgroup/cpu.max"));
    if (cpus != 0) return cpus;
    const std::string quota = first_line("/sys/fs/cgroup/cpu/cpu.cfs_quota_us");
    const std::string period = first_line("/sys/fs/cgroup/cpu/cpu.cfs_period_us");
    if (quota.empty() || period.empty()) return 0;
    return cpus_of_quota(quota + " " + period);
}

}  // namespace

std::size_t available_cpus() {
    std::size_t cpus = affinity_cpus();
    if (cpus == 0) cpus = std::max(1u, std::thread::hardware_concurrency());
    const std::size_t quota = quota_cpus();
    if (quota != 0) cpus = std::min(cpus, quota);
    return std::max<std::size_t>(cpus, 1);
}

}  // namespace tavrin
