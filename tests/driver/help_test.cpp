// `Tavrin --help` and the man page list the same options: the synopsis as the usage line, in
// order, and every option entry with its value.
#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "driver/app.h"
#include "support/golden_cases.h"
#include "support/man_page.h"

namespace tavrin {

namespace {

TEST(Help, AgreesWithTheManPage) {
    std::istringstream in;
    std::ostringstream out, err;
    ASSERT_EQ(run({"--help"}, in, out, err), 0);
    std::string page;
    ASSERT_TRUE(golden_cases::read_whole(TAVRIN_SOURCE_DIR "/doc/Tavrin.1", page));

    const std::string help = out.str();
    EXPECT_EQ(man_page::options_named(man_page::plain(man_page::section(page, "SYNOPSIS"))),
              man_page::options_named(man_page::usage_of(help)));
    EXPECT_EQ(man_page::page_entries(page), man_page::help_entries(help));
    EXPECT_GE(man_page::help_entries(help).size(), 14u);
}

}  // namespace

}  // namespace tavrin
