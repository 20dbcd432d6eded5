// The progress line: its text, updates no more often than its interval whatever the number of
// trees, a line redrawn in place and taken away on a terminal, a closing line elsewhere, and a
// stream that shares the terminal taking the line away before its bytes.
#include "output/progress.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

namespace tavrin {

namespace {

// A clock the test moves by hand.
struct FakeClock {
    double now = 100;
    Progress::Clock clock() {
        return [this] { return now; };
    }
};

std::size_t count_of(const std::string& text, const std::string& part) {
    std::size_t count = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++count;
    return count;
}

TEST(Progress, Durations) {
    const struct {
        double seconds;
        const char* shown;
    } cases[] = {{0, "0.0 s"},        {0.04, "0.0 s"}, {4.25, "4.3 s"},   {59.94, "59.9 s"},
                 {59.96, "1:00"},     {61.4, "1:01"},  {3599.4, "59:59"}, {3600, "1:00:00"},
                 {36061, "10:01:01"}, {-1, "0.0 s"}};
    for (const auto& c : cases)
        EXPECT_EQ(Progress::duration(c.seconds), c.shown) << c.seconds;
}

TEST(Progress, LinesOnAFileAtMostOneASecondThenTheClosingLine) {
    FakeClock time;
    std::ostringstream err;
    Progress progress(err, "Tavrin", 4, false, time.clock());
    // 10,000 trees in 3.5 s: an update at most once a second, however many trees.
    for (int k = 0; k < 10000; ++k) {
        time.now += 0.00035;
        progress.tree_done();
        if (k % 2500 == 2499) progress.file_done();
    }
    const std::string text = err.str();
    EXPECT_EQ(count_of(text, "\n"), 3u) << text;
    EXPECT_EQ(text.find('\r'), std::string::npos);
    // The first update, a second in: files of the total, trees, their rate, time and estimate.
    EXPECT_EQ(text.substr(0, text.find('\n')),
              "Tavrin: 1/4 files, 2858 trees, 2857 trees/s, 1.0 s elapsed, about 3.0 s left")
        << text;
    progress.finish();
    EXPECT_EQ(err.str().substr(text.size()), "Tavrin: 4 files, 10000 trees in 3.5 s\n");
}

TEST(Progress, NothingBeforeTheFirstIntervalAndOneOfEachInTheClosingLine) {
    FakeClock time;
    std::ostringstream err;
    Progress progress(err, "Tavrin-summary", 1, false, time.clock());
    time.now += 0.9;
    progress.tree_done();
    progress.file_done();
    EXPECT_EQ(err.str(), "");
    progress.finish();
    EXPECT_EQ(err.str(), "Tavrin-summary: 1 file, 1 tree in 0.9 s\n");
}

TEST(Progress, ATerminalLineIsRedrawnClearedForOtherOutputAndTakenAwayAtTheEnd) {
    FakeClock time;
    std::ostringstream err;
    std::vector<std::string> drawn_after;  // what err held when each draw was about to happen
    Progress progress(err, "Tavrin", 2, true, time.clock(),
                      [&] { drawn_after.push_back(err.str()); });
    EXPECT_EQ(progress.interval(), 0.25);
    progress.clear();  // nothing drawn: nothing to take away
    EXPECT_EQ(err.str(), "");
    for (int k = 0; k < 100; ++k) {
        time.now += 0.01;  // 1 s in all: four updates at most
        progress.tree_done();
    }
    const std::string drawn = err.str();
    EXPECT_EQ(count_of(drawn, "\r"), 4u) << drawn;
    EXPECT_EQ(count_of(drawn, "\x1b[K"), 4u);
    EXPECT_EQ(drawn_after.size(), 4u);
    EXPECT_EQ(drawn.find('\n'), std::string::npos);
    EXPECT_EQ(drawn.substr(0, 8), "\rTavrin:");
    EXPECT_EQ(drawn.substr(drawn.size() - 3), "\x1b[K");

    // Another stream on the terminal takes the line away before its own bytes, once.
    std::ostringstream report;
    ClearingBuffer buffer(*report.rdbuf(), progress);
    std::ostream through(&buffer);
    through << "g1.nwk:\n" << 'x' << std::flush;
    EXPECT_EQ(report.str(), "g1.nwk:\nx");
    EXPECT_EQ(err.str().substr(drawn.size()), "\r\x1b[K");

    progress.finish();  // nothing drawn since: nothing more, and no closing line
    EXPECT_EQ(err.str().substr(drawn.size()), "\r\x1b[K");
    time.now += 1;
    progress.tree_done();
    progress.finish();
    EXPECT_EQ(err.str().substr(err.str().size() - 4), "\r\x1b[K");
    EXPECT_EQ(err.str().find('\n'), std::string::npos);
}

TEST(Progress, TreesOfOneFileHaveNoEstimateAndSmallRatesOneDecimal) {
    FakeClock time;
    std::ostringstream err;
    Progress progress(err, "Tavrin", 1, false, time.clock());
    for (int k = 0; k < 70; ++k) {
        time.now += 1.0 / 64;
        progress.tree_done();
    }
    EXPECT_EQ(err.str(), "Tavrin: 0/1 file, 64 trees, 64.0 trees/s, 1.0 s elapsed\n");
}

}  // namespace

}  // namespace tavrin
