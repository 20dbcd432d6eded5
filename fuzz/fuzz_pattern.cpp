// libFuzzer target: the pattern automaton against std::regex on a fuzzed pattern and leaf name.
#include <cstddef>
#include <cstdint>

#include "fuzz_verdict.h"
#include "support/pattern_checks.h"

namespace tavrin {

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    stop_on_verdict("fuzz_pattern", tavrin_fuzz::check_pattern_input(data, size));
    return 0;
}

}  // namespace tavrin
