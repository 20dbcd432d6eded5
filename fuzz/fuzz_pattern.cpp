// libFuzzer target: the pattern automaton against std::regex on a fuzzed pattern and leaf name.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "support/pattern_checks.h"

namespace tavrin {

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string verdict = tavrin_fuzz::check_pattern_input(data, size);
    if (!verdict.empty()) {
        // Standard error is closed while fuzzing (-close_fd_mask=2); standard output is not.
        std::fprintf(stdout, "fuzz_pattern: %s\n", verdict.c_str());
        std::fflush(stdout);
        std::abort();
    }
    return 0;
}

}  // namespace tavrin
