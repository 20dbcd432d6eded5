// Tavrin-summary's command-line cases (tests/summary/cases), each run in-process in its folder.
#include <gtest/gtest.h>

#include <string>

#include "summary/app.h"
#include "support/golden_cases.h"

namespace tavrin::summary {

namespace {

const std::string kCases = TAVRIN_SOURCE_DIR "/tests/summary/cases";

class Case : public ::testing::TestWithParam<std::string> {};

TEST_P(Case, WritesWhatItMust) {
    golden_cases::run_case([](auto&... a) { return summary::run(a...); },
                           kCases + "/" + GetParam());
}

INSTANTIATE_TEST_SUITE_P(SummaryCli, Case, ::testing::ValuesIn(golden_cases::case_names(kCases)),
                         golden_cases::CaseName());

}  // namespace

}  // namespace tavrin::summary
