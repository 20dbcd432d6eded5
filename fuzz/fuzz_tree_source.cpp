// libFuzzer target: a tree file as --standard-newick reads it, gzip-compressed or not, NEXUS or
// standard Newick, with --burnin and --support-attribute (tests/support/tree_source_checks.h).
#include <cstddef>
#include <cstdint>

#include "fuzz_verdict.h"
#include "support/tree_source_checks.h"

namespace tavrin {

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    stop_on_verdict("fuzz_tree_source", tree_source_checks::check_tree_source_input(data, size));
    return 0;
}

}  // namespace tavrin
