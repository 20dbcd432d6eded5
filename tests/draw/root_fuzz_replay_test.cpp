// Replays the seeds of fuzz_root (and any input it once failed on) through its checks in the
// ordinary build: --root, --outliers and --draw on the tree read.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "support/root_checks.h"

namespace tavrin {

namespace {

namespace fs = std::filesystem;

std::size_t replay(const fs::path& dir) {
    std::vector<fs::path> files;
    if (fs::is_directory(dir)) {
        for (const fs::directory_entry& entry : fs::directory_iterator(dir))
            if (entry.is_regular_file()) files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end());
    for (const fs::path& file : files) {
        std::ifstream in(file, std::ios::binary);
        const std::string bytes((std::istreambuf_iterator<char>(in)),
                                std::istreambuf_iterator<char>());
        EXPECT_EQ(root_checks::check_root_input(reinterpret_cast<const uint8_t*>(bytes.data()),
                                                bytes.size()),
                  "")
            << "input " << file;
    }
    return files.size();
}

TEST(RootFuzzReplay, SeedsAndStoredInputsPassTheChecks) {
    const fs::path source = TAVRIN_SOURCE_DIR;
    EXPECT_GE(replay(source / "fuzz/corpus/root"), 5u);
    replay(source / "tests/fuzz_regressions/root");
}

// The checks must notice a list that roots elsewhere than its entries would.
TEST(RootFuzzReplay, TheReferenceSeesTheLargestSide) {
    Phylogeny tree("(((o1,o2),x1),((o3,(o4,o5)),x2));");
    std::set<tavrin::NodeRef> in;
    preorder(static_cast<const Phylogeny_Node*>(tree.root), [&](const Phylogeny_Node* n) {
        if (n->is_leaf && n->name[0] == 'o') in.insert(n);
    });
    const std::optional<tavrin::NodeRef> side = root_checks::reference_side(tree, in);
    ASSERT_TRUE(side.has_value());
    EXPECT_EQ(tree_check::shape(*side), "(o3,(o4,o5))");
    in.erase(tree.root->right->left->left);  // o3: now (o1,o2) and (o4,o5) tie
    EXPECT_FALSE(root_checks::reference_side(tree, in).has_value());
}

}  // namespace

}  // namespace tavrin
