// libFuzzer target: Tavrin-summary --html --pictures on a fuzzed table (or report) and two
// fuzzed pictures, run in-process. The page must hold only the elements and attributes it
// writes itself, its own style and script, and rows of plain text; a failed run leaves no page.
// The input's layout and the checks are in tests/support/page_checks.h.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>

#include "support/page_checks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::filesystem::path work =
        std::filesystem::temp_directory_path() / ("fuzz_summary_page." + std::to_string(getpid()));
    const std::string problem = tavrin::page_checks::check_input(
        std::string_view(reinterpret_cast<const char*>(data), size), work);
    if (!problem.empty()) {
        std::fprintf(stdout, "fuzz_summary_page: %s\n", problem.c_str());
        std::fflush(stdout);
        std::abort();
    }
    return 0;
}
