// libFuzzer target: the standard Newick reader, on texts of one or several trees.
#include <cstddef>
#include <cstdint>

#include "fuzz_verdict.h"
#include "support/standard_checks.h"

namespace tavrin {

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    stop_on_verdict("fuzz_standard_reader", standard_checks::check_standard_input(data, size));
    return 0;
}

}  // namespace tavrin
