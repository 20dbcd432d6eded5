// The checks of the standard Newick and tree source fuzz targets, in the ordinary build: on their
// seeds, on the trees inference programs wrote, and on random texts over the bytes that matter.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "support/standard_checks.h"
#if defined(TAVRIN_HAVE_ZLIB)
#include "support/tree_source_checks.h"
#endif

namespace tavrin {

namespace {

namespace fs = std::filesystem;

const fs::path kSource = fs::path(__FILE__).parent_path().parent_path().parent_path();

std::string bytes_of(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

using Check = std::string (*)(const uint8_t* data, size_t size);

std::string check_bytes(Check check, const std::string& bytes) {
    return check(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
}

// The files of `dir` with that extension ("" for every file) through the check; how many.
size_t replay(const fs::path& dir, const std::string& extension,
              Check check = standard_checks::check_standard_input) {
    size_t count = 0;
    for (const fs::directory_entry& entry : fs::directory_iterator(dir)) {
        if (!entry.is_regular_file()) continue;
        if (!extension.empty() && entry.path().extension() != extension) continue;
        EXPECT_EQ(check_bytes(check, bytes_of(entry.path())), "") << entry.path();
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

#if defined(TAVRIN_HAVE_ZLIB)

// The seeds of fuzz_tree_source and its stored findings; the files programs wrote, given every
// way (plain, compressed, padded, damaged), with every support attribute and burn-in.
TEST(TreeSourceReplay, SeedsAndProgramOutputsPassTheChecks) {
    EXPECT_GE(replay(kSource / "fuzz/corpus/tree_source", ""), 4u);
    const fs::path findings = kSource / "tests/fuzz_regressions/tree_source";
    if (fs::is_directory(findings))
        replay(findings, "", tree_source_checks::check_tree_source_input);
    size_t files = 0;
    for (const char* dir : {"tests/data/bayesian", "tests/data/pipelines"}) {
        for (const fs::directory_entry& entry : fs::directory_iterator(kSource / dir)) {
            const std::string text = bytes_of(entry.path());
            for (unsigned options = files % 16; options < 256; options += 16) {
                const std::string input = std::string(1, static_cast<char>(options)) + text;
                EXPECT_EQ(check_bytes(tree_source_checks::check_tree_source_input, input), "")
                    << entry.path() << " options " << options;
            }
            ++files;
        }
    }
    EXPECT_GE(files, 20u);
}

#endif

}  // namespace

}  // namespace tavrin
