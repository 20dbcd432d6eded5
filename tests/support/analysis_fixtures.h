// Test helpers for the sister-clade analysis: temporary group files, the group lists used by the
// examples, and a one-call analysis run that keeps its tree and captures standard error.
#ifndef TAVRIN_TESTS_SUPPORT_ANALYSIS_FIXTURES_H
#define TAVRIN_TESTS_SUPPORT_ANALYSIS_FIXTURES_H

#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <cstddef>
#include <cstdio>
#include <fstream>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include <sstream>

#include "analysis/pipeline.h"
#include "analysis/root_list.h"
#include "contract/tavrin.h"
#include "driver/tree_work.h"
#include "output/table_format.h"
#include "tree/phylogeny.h"

namespace tavrin {

namespace analysis_fixtures {

// The nested list, smallest groups first: Fungi and Metazoa in Opisthokonta, Opisthokonta and
// Amoebozoa in Amorphea.
inline const char* const kNestedGroups =
    "Opisthokonta Fungi\n"
    "Opisthokonta Metazoa\n"
    "Amorphea Opisthokonta\n"
    "Amorphea Amoebozoa\n";

// The same four relations with the larger group placed first.
inline const char* const kLargerFirstGroups =
    "Amorphea Opisthokonta\n"
    "Amorphea Amoebozoa\n"
    "Opisthokonta Fungi\n"
    "Opisthokonta Metazoa\n";

using Pairs = std::vector<std::pair<std::string, std::string>>;

// The root list written `text`, which must be a valid one.
inline RootList root_list_of(const std::string& text) {
    RootList list;
    EXPECT_TRUE(parse_root_list(text, list)) << text;
    return list;
}

// The analysis the table gives: outliers described, and up to `max_outliers` set aside.
inline AnalysisResult analyse_with_outliers(const std::unique_ptr<Phylogeny>& tree,
                                            const AnalysisSettings& settings,
                                            std::size_t max_outliers) {
    AnalysisSettings with = settings;
    with.max_outliers = max_outliers;
    AnalysisNeeds needs;
    needs.outliers = true;
    return analyse(*tree, with, needs);
}

// The table row of `result` as written, line break included.
inline std::string table_row_text(const AnalysisResult& result, const std::string& file,
                                  std::size_t tree, const std::string& target) {
    std::ostringstream row;
    write_table_row(row, table_row(result, file, tree, target));
    return row.str();
}

inline Pairs pairs_of(const GroupRelations& groups) {
    Pairs out;
    for (const GroupPair& pair : groups)
        out.emplace_back(pair.group, pair.member);
    return out;
}

// A path under the test temporary directory that no other test (or test process) uses.
inline std::string unique_temp_path(const std::string& stem) {
    static std::atomic<unsigned> counter{0};
    return testing::TempDir() + "tavrin_" + stem + "_" + std::to_string(::getpid()) + "_" +
           std::to_string(counter++);
}

// A file holding `content` (written byte for byte), removed again with the object.
class TempFile {
public:
    explicit TempFile(const std::string& content) : path_(unique_temp_path("groups")) {
        std::ofstream out(path_, std::ios::binary);
        out << content;
    }
    ~TempFile() { std::remove(path_.c_str()); }
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;

    const std::string& path() const { return path_; }

private:
    std::string path_;
};

// "((((first,second),outer1),outer2)...,outerN);": a ladder whose bottom pair lies N + 1 levels
// below the root, with the leaves outer1 to outerN (outer_prefix and a number) hanging off it.
inline std::string left_ladder(const std::string& first, const std::string& second,
                               const std::string& outer_prefix, std::size_t outer_count) {
    std::string text(outer_count + 1, '(');
    text += first + "," + second + ")";
    for (std::size_t i = 1; i <= outer_count; ++i) {
        text += ",";
        text += outer_prefix;
        text += std::to_string(i);
        text += ")";
    }
    return text + ";";
}

// One analysis with the tree it runs on. The tree is declared first so that it outlives the
// analysis that refers to it.
struct AnalysisRun {
    std::unique_ptr<Phylogeny> tree;
    std::unique_ptr<Tavrin> tavrin;
    std::string err;  // what the analysis wrote to standard error

    Tavrin& operator*() const { return *tavrin; }
    Tavrin* operator->() const { return tavrin.get(); }
    std::vector<std::string> sisters() const {
        return std::vector<std::string>(tavrin->sisters.begin(), tavrin->sisters.end());
    }
};

// Reads `text` and runs the analysis on it: with a group file when `group_file` is not null,
// otherwise with the constructor that takes none.
inline AnalysisRun analyse(const std::string& text, const std::string& prefix,
                           const std::string* group_file = nullptr, bool use_regex = false) {
    AnalysisRun run;
    run.tree = std::make_unique<Phylogeny>(text);
    testing::internal::CaptureStderr();
    if (group_file != nullptr) {
        run.tavrin = std::make_unique<Tavrin>(run.tree.get(), prefix, *group_file, use_regex);
    } else {
        run.tavrin = std::make_unique<Tavrin>(run.tree.get(), prefix, use_regex);
    }
    run.err = testing::internal::GetCapturedStderr();
    return run;
}

// An analysis over a one-leaf tree, for calling the group and naming operations directly. Its
// own search result (a target that is the whole tree) is of no interest and its message is
// swallowed.
struct Bare {
    Phylogeny tree{"Z-1;"};
    std::unique_ptr<Tavrin> tavrin;

    explicit Bare(bool use_regex = false) {
        testing::internal::CaptureStderr();
        tavrin = std::make_unique<Tavrin>(&tree, "Z", use_regex);
        testing::internal::GetCapturedStderr();
    }
    Tavrin* operator->() const { return tavrin.get(); }

    // Appends the pairs of a group file holding `content`.
    void load(const std::string& content) {
        TempFile file(content);
        tavrin->groupConfig(file.path());
    }
};

}  // namespace analysis_fixtures

}  // namespace tavrin

#endif  // TAVRIN_TESTS_SUPPORT_ANALYSIS_FIXTURES_H
