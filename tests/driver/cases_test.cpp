// Tavrin's command-line cases (tests/cli/cases), each run in-process in its folder.
#include <gtest/gtest.h>

#include <string>

#include "driver/app.h"
#include "support/golden_cases.h"

namespace tavrin {

namespace {

const std::string kCases = TAVRIN_SOURCE_DIR "/tests/cli/cases";

class Case : public ::testing::TestWithParam<std::string> {};

TEST_P(Case, WritesWhatItMust) {
    golden_cases::run_case([](auto&... a) { return run(a...); }, kCases + "/" + GetParam());
}

INSTANTIATE_TEST_SUITE_P(Cli, Case, ::testing::ValuesIn(golden_cases::case_names(kCases)),
                         golden_cases::CaseName());

}  // namespace

}  // namespace tavrin
