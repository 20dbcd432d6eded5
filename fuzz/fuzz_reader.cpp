// libFuzzer target: the Newick reader (both reading paths) and the subtree renderer.
#include <cstddef>
#include <cstdint>

#include "fuzz_verdict.h"
#include "support/input_checks.h"

namespace tavrin {

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    stop_on_verdict("fuzz_reader", tavrin_fuzz::check_reader_input(data, size));
    return 0;
}

}  // namespace tavrin
