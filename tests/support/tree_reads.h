// Test data read whole, and every tree a reader gives, each checked for sound links.
#ifndef TAVRIN_TESTS_SUPPORT_TREE_READS_H
#define TAVRIN_TESTS_SUPPORT_TREE_READS_H

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/files.h"
#include "support/tree_check.h"
#include "tree/tree_reader.h"

namespace tavrin {

namespace tree_reads {

// The bytes of a test data file; a file that cannot be read fails the test.
inline std::string file_bytes(const std::filesystem::path& path) {
    std::string text;
    EXPECT_TRUE(tavrin::read_file(path.string(), text)) << path;
    return text;
}

// Every tree `reader` gives, in order, up to the first that is not a tree (which fails the test).
inline std::vector<tavrin::TreeRead> read_trees(tavrin::TreeReader& reader) {
    std::vector<tavrin::TreeRead> reads;
    while (std::optional<tavrin::TreeRead> read = reader.next()) {
        EXPECT_NE(read->tree, nullptr) << read->malformed.what;
        if (read->tree == nullptr) break;
        EXPECT_EQ(tree_check::check_links(read->tree->root), "");
        reads.push_back(std::move(*read));
    }
    return reads;
}

}  // namespace tree_reads

}  // namespace tavrin

#endif  // TAVRIN_TESTS_SUPPORT_TREE_READS_H
