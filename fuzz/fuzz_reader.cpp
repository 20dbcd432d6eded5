// libFuzzer target: the Newick reader (both reading paths) and the subtree renderer.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "support/input_checks.h"

namespace tavrin {

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string verdict = tavrin_fuzz::check_reader_input(data, size);
    if (!verdict.empty()) {
        // Standard error is closed while fuzzing (-close_fd_mask=2); standard output is not.
        std::fprintf(stdout, "fuzz_reader: %s\n", verdict.c_str());
        std::fflush(stdout);
        std::abort();
    }
    return 0;
}

}  // namespace tavrin
