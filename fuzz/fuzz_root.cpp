// libFuzzer target: --root, --outliers and --draw on the tree read, against the list's entries
// tried one by one (tests/support/root_checks.h).
#include <cstddef>
#include <cstdint>

#include "fuzz_verdict.h"
#include "support/root_checks.h"

namespace tavrin {

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    stop_on_verdict("fuzz_root", root_checks::check_root_input(data, size));
    return 0;
}

}  // namespace tavrin
