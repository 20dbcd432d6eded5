// How many processors this process may run on.
#ifndef TAVRIN_PLATFORM_CPUS_H
#define TAVRIN_PLATFORM_CPUS_H

#include <cstddef>

namespace tavrin {

// The processors of the process's affinity mask, bounded by the processor quota of its control
// group where one is set (cgroup v2 `cpu.max`, or v1 `cpu.cfs_quota_us` over
// `cpu.cfs_period_us`, rounded up); at least 1. Where the system tells neither, what the
// standard library reports for the machine, at least 1.
std::size_t available_cpus();

}  // namespace tavrin

#endif  // TAVRIN_PLATFORM_CPUS_H
