// What the system says about a failure, and how much memory it gives the process.
#ifndef TAVRIN_SUMMARY_SYSTEM_H
#define TAVRIN_SUMMARY_SYSTEM_H

#include <string>

namespace summary {

// " (<the system's description of error_number>)", or nothing for 0.
std::string system_reason(int error_number);

// True once the process holds more memory than it can count on: half the smaller of physical
// memory and its address-space and data-size limits (the other half is room for the copy that a
// growing buffer makes). Where the system does not tell, always false: a failed allocation is
// then the only sign.
bool memory_exhausted();

// The system's error for standard input's descriptor when it is not open (`<&-`), else 0. Some
// standard libraries (libc++) take a failed read of standard input for its end, so a closed
// descriptor is asked of the system before the stream is read. 0 where the system does not tell.
int standard_input_closed();

}  // namespace summary

#endif
