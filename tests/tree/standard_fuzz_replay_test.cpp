// The checks of the standard Newick fuzz target, in the ordinary build: on its seeds, on the
// trees inference programs wrote, and on random texts over the bytes that matter.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "support/standard_checks.h"

namespace tavrin {

namespace {

namespace fs = std::filesystem;

const fs::path kSource = fs::path(__FILE__).parent_path().parent_path().parent_path();

std::string bytes_of(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

size_t replay(const fs::path& dir, const std::string& extension) {
    size_t count = 0;
    for (const fs::directory_entry& entry : fs::directory_iterator(dir)) {
        if (!entry.is_regular_file() || entry.path().extension() != extension) continue;
        const std::string bytes = bytes_of(entry.path());
        EXPECT_EQ(standard_checks::check_standard_input(
                      reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()),
                  "")
            << entry.path();
        ++count;
    }
    return count;
}

TEST(StandardReplay, SeedsAndProgramOutputsPassTheChecks) {
    EXPECT_GE(replay(kSource / "fuzz/corpus/standard_reader", ".nwk"), 5u);
    EXPECT_GE(replay(kSource / "tests/data/pipelines", ".nwk"), 9u);
    EXPECT_EQ(replay(kSource / "tests/data/bayesian", ".tre"), 3u);
    EXPECT_EQ(replay(kSource / "tests/data/bayesian", ".t"), 3u);
}

TEST(StandardReplay, RandomTextsPassTheChecks) {
    const std::string alphabet = "(((),,,:::;;[]''' AB1.5e-/\r\n\t";
    std::mt19937 rng(2026);
    for (int round = 0; round < 20000; ++round) {
        std::string text;
        const size_t length = rng() % 40;
        for (size_t i = 0; i < length; ++i)
            text += alphabet[rng() % alphabet.size()];
        EXPECT_EQ(standard_checks::check_standard_text(text, 1 + static_cast<int>(rng() % 2)), "")
            << "text: [" << text << "]";
    }
}

}  // namespace

}  // namespace tavrin
