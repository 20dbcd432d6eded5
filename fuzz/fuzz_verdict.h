// What every fuzz target does with its checks' verdict on an input.
#ifndef TAVRIN_FUZZ_FUZZ_VERDICT_H
#define TAVRIN_FUZZ_FUZZ_VERDICT_H

#include <cstdio>
#include <cstdlib>
#include <string>

namespace tavrin {

// Nothing when `verdict` is empty; else writes "<target>: <what><verdict>" on standard output
// (standard error is closed while fuzzing, -close_fd_mask=2) and aborts, which libFuzzer reports
// with the input.
inline void stop_on_verdict(const char* target, const std::string& verdict, const char* what = "") {
    if (verdict.empty()) return;
    std::fprintf(stdout, "%s: %s%s\n", target, what, verdict.c_str());
    std::fflush(stdout);
    std::abort();
}

}  // namespace tavrin

#endif  // TAVRIN_FUZZ_FUZZ_VERDICT_H
