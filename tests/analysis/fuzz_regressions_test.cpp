// Replays the fuzzing seeds and every input the fuzzers once failed on through the same checks
// the fuzz targets run, so a fixed fault stays fixed in the ordinary (non-fuzzing) build.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "support/input_checks.h"
#include "support/pattern_checks.h"

namespace tavrin {

namespace {

namespace fs = std::filesystem;

std::vector<fs::path> inputs_in(const fs::path& dir) {
    std::vector<fs::path> files;
    if (!fs::is_directory(dir)) {
        ADD_FAILURE() << "no folder of stored inputs at " << dir;
        return files;
    }
    for (const fs::directory_entry& entry : fs::directory_iterator(dir)) {
        if (entry.is_regular_file()) files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end());
    return files;
}

std::string bytes_of(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

using Check = std::string (*)(const uint8_t*, size_t);

// Runs `check` on every file of `dir`; answers how many were replayed. A folder without inputs
// fails: a replay that finds nothing proves nothing.
size_t replay(const fs::path& dir, Check check) {
    const std::vector<fs::path> files = inputs_in(dir);
    EXPECT_FALSE(files.empty()) << "no stored inputs in " << dir;
    for (const fs::path& file : files) {
        const std::string bytes = bytes_of(file);
        EXPECT_EQ(check(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()), "")
            << "input " << file;
    }
    return files.size();
}

const fs::path kSource = TAVRIN_SOURCE_DIR;

TEST(FuzzRegressions, ReaderInputsPassTheReaderChecks) {
    replay(kSource / "tests/fuzz_regressions/reader", tavrin_fuzz::check_reader_input);
}

TEST(FuzzRegressions, AnalysisInputsPassTheAnalysisChecks) {
    replay(kSource / "tests/fuzz_regressions/analysis", tavrin_fuzz::check_analysis_input);
}

TEST(FuzzRegressions, PatternInputsPassThePatternChecks) {
    replay(kSource / "tests/fuzz_regressions/pattern", tavrin_fuzz::check_pattern_input);
}

TEST(FuzzRegressions, SeedCorpusPassesTheChecks) {
    EXPECT_GE(replay(kSource / "fuzz/corpus/reader", tavrin_fuzz::check_reader_input), 10u);
    EXPECT_GE(replay(kSource / "fuzz/corpus/analysis", tavrin_fuzz::check_analysis_input), 10u);
    EXPECT_GE(replay(kSource / "fuzz/corpus/pattern", tavrin_fuzz::check_pattern_input), 10u);
}

// The checks themselves must notice a broken tree, or a clean replay proves nothing.
TEST(FuzzRegressions, LinkCheckNoticesBrokenLinks) {
    Phylogeny tree("((A,B),C);");
    ASSERT_NE(tree.root, nullptr);
    EXPECT_EQ(tavrin_fuzz::check_links(tree.root, 5), "");
    EXPECT_NE(tavrin_fuzz::check_links(tree.root, 4), "");
    Phylogeny_Node* inner = tree.root->left;
    inner->right->parent = tree.root;
    EXPECT_NE(tavrin_fuzz::check_links(tree.root, 5), "");
    inner->right->parent = inner;
}

TEST(FuzzRegressions, GroupFileTokensAndListBound) {
    const std::vector<std::string> taxonomy = tavrin_fuzz::group_tokens(
        "Opisthokonta Fungi\nOpisthokonta Metazoa\r\nAmorphea\tOpisthokonta\nAmorphea Amoebozoa");
    ASSERT_EQ(taxonomy.size(), 8u);
    EXPECT_EQ(taxonomy[4], "Amorphea");
    EXPECT_EQ(taxonomy[5], "Opisthokonta");
    // Four lines, five names and the empty one.
    EXPECT_EQ(tavrin_fuzz::closure_pair_bound(taxonomy), 4.0 * 7.0);
    // An unpaired last token is a line of its own.
    EXPECT_EQ(tavrin_fuzz::closure_pair_bound(tavrin_fuzz::group_tokens("G")), 1.0 * 3.0);
}

TEST(FuzzRegressions, AnalysisInputLayout) {
    const std::string bytes = "3" + std::string(40, 'x') + "\n(A,B);\nG A\nG B\n";
    const tavrin_fuzz::AnalysisInput in = tavrin_fuzz::split_analysis_input(
        reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    EXPECT_TRUE(in.use_regex);
    EXPECT_TRUE(in.with_group_file);
    EXPECT_FALSE(in.unreadable_group_file);
    EXPECT_EQ(in.prefix, std::string(tavrin_fuzz::kMaxPatternLength, 'x'));
    EXPECT_EQ(in.tree_text, "(A,B);");
    EXPECT_EQ(in.group_text, "G A\nG B\n");
}

}  // namespace

}  // namespace tavrin
