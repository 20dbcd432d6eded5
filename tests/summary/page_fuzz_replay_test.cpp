// The seeds of fuzz_summary_page and its stored findings, replayed through its checks in the
// ordinary build; and the checks themselves, which must see markup the page did not write.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "support/golden_cases.h"
#include "support/page_checks.h"

namespace tavrin::summary {

namespace {

namespace fs = std::filesystem;

TEST(PageFuzzReplay, SeedsAndStoredInputsMakeSoundPages) {
    const fs::path work = fs::path(::testing::TempDir()) / "page_fuzz_replay";
    std::size_t replayed = 0;
    for (const char* folder :
         {"/fuzz/corpus/summary_page", "/tests/fuzz_regressions/summary_page"}) {
        const fs::path dir = fs::path(TAVRIN_SOURCE_DIR) / (std::string(".") + folder);
        if (!fs::is_directory(dir)) continue;
        for (const fs::directory_entry& entry : fs::directory_iterator(dir)) {
            std::string input;
            ASSERT_TRUE(golden_cases::read_whole(entry.path(), input));
            EXPECT_EQ(page_checks::check_input(input, work), "") << entry.path();
            ++replayed;
        }
    }
    EXPECT_GE(replayed, 4u);
    fs::remove_all(work);
}

TEST(PageFuzzReplay, ChecksSeeMarkupThePageDoesNotWrite) {
    page_checks::PageParts parts;
    const auto check = [&parts](const std::string& body) {
        return page_checks::check_markup("<!DOCTYPE html>\n<html lang=\"en\">" + body, parts);
    };
    EXPECT_EQ(check("<p class=\"closing\">a &amp; b</p><svg x=\"0\"></svg></html>"), "");
    EXPECT_EQ(check("<img src=\"x\">"), "element <img> the page does not write");
    EXPECT_EQ(check("<p onclick=\"x\">"), "attribute 'onclick' of <p> the page does not write");
    EXPECT_EQ(check("<p>a > b</p>"), "a raw '>' in text");
    EXPECT_EQ(check("<p>a & b</p>"), "an '&' that starts no reference");
    EXPECT_EQ(check("<td class=\"<b>\">"), "'<' in an attribute value");
    EXPECT_EQ(page_checks::check_rows("#\tpicture\tfile\n1\tx\n"),
              "a row of another number of fields than its head");
    EXPECT_EQ(page_checks::check_rows("#\tpicture\n1\tjavascript:x\n"),
              "a picture that is not a plain file name");
}

}  // namespace

}  // namespace tavrin::summary
