// libFuzzer target: the whole sister-clade analysis on a fuzzed tree, search prefix, flags and
// group file, run the way the driver runs it.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "support/input_checks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string verdict = tavrin_fuzz::check_analysis_input(data, size);
    if (!verdict.empty()) {
        // Standard error is closed while fuzzing (-close_fd_mask=2); standard output is not.
        std::fprintf(stdout, "fuzz_analysis: %s\n", verdict.c_str());
        std::fflush(stdout);
        std::abort();
    }
    return 0;
}
