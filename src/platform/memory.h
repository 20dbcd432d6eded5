// How much memory the process can count on, as the system tells it.
#ifndef TAVRIN_PLATFORM_MEMORY_H
#define TAVRIN_PLATFORM_MEMORY_H

#include <cstddef>

namespace tavrin {

// The most memory the process can hope to hold: the smaller of its address-space and data
// limits and the machine's physical memory. SIZE_MAX where the system does not say.
std::size_t memory_ceiling();

// True once the process holds more memory than it can count on: half of memory_ceiling() (the
// other half is room for the copy that a growing buffer makes). Where the system does not tell,
// always false: a failed allocation is then the only sign.
bool memory_exhausted();

}  // namespace tavrin

#endif  // TAVRIN_PLATFORM_MEMORY_H
