// libFuzzer target: the standard Newick reader, on texts of one or several trees.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "support/standard_checks.h"

namespace tavrin {

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string verdict = standard_checks::check_standard_input(data, size);
    if (!verdict.empty()) {
        std::fprintf(stdout, "fuzz_standard_reader: %s\n", verdict.c_str());
        std::fflush(stdout);
        std::abort();
    }
    return 0;
}

}  // namespace tavrin
