// Times the search for the leaves that break the target clade, and their removal, against the
// plain run on the same tree.
//
//   tavrin_bench_outliers TREE_FILE PREFIX [ROUNDS]
//
// Three leaves outside the target clade (at a quarter, a half and three quarters of the leaves
// from the left) are counted as target leaves as well, so that the tree has three outliers to
// find and set aside. Each round times, one after another:
//   plain     reading the file into a tree, the analysis (`Tavrin`) and releasing both, as the
//             driver does for one tree file;
//   read      reading the file into a tree alone;
//   test      the target test alone, asked of every leaf in one walk (find pays it too);
//   find      find_outliers on a freshly read tree (the target test asked once per leaf);
//   set aside set_aside of the leaves found.
// Prints the median of each over the rounds and the share of the plain run that find and set
// aside add.
#if defined(__linux__) && __has_include(<malloc.h>)
#include <malloc.h>
#endif

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

#include "analysis/leaf_matching.h"
#include "analysis/outliers.h"
#include "contract/tavrin.h"
#include "platform/files.h"
#include "tree/phylogeny.h"
#include "tree/walk.h"

namespace tavrin {

namespace {

// Processor time of the process (user and system): on a machine shared with other work, wall
// time mostly measures the others.
struct Clock {
    using time_point = double;
    static time_point now() { return 1000.0 * static_cast<double>(std::clock()) / CLOCKS_PER_SEC; }
};

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

double since(Clock::time_point start) {
    return Clock::now() - start;
}

// Names of three leaves that fail the test, spread over the tree from left to right.
std::vector<std::string> planted_outliers(const Phylogeny& tree, const LeafMatcher& matcher) {
    std::vector<const Phylogeny_Node*> others;
    tavrin::preorder(tree.root, [&](const Phylogeny_Node* n) {
        if (n->is_leaf && !matcher.matches(n->name)) others.push_back(n);
    });
    std::vector<std::string> names;
    for (std::size_t quarter = 1; quarter <= 3 && !others.empty(); ++quarter)
        names.push_back(others[others.size() * quarter / 4]->name);
    return names;
}

}  // namespace

int run_main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s TREE_FILE PREFIX [ROUNDS]\n", argv[0]);
        return 2;
    }
    // As the driver does: freed memory stays with the process for the next round.
#if defined(M_MMAP_MAX) && defined(M_TRIM_THRESHOLD)
    mallopt(M_MMAP_MAX, 0);
    mallopt(M_TRIM_THRESHOLD, 1 << 30);
#endif
    const std::string path = argv[1];
    const std::string prefix = argv[2];
    const int rounds = argc > 3 ? std::max(1, std::atoi(argv[3])) : 5;
    std::string text;
    if (!tavrin::read_tree_file(path, text)) return 1;
    const LeafMatcher matcher(prefix, false);
    std::vector<std::string> planted;
    {
        Phylogeny tree(text);
        if (tree.root == nullptr) return 1;
        planted = planted_outliers(tree, matcher);
    }
    const LeafTest is_target = [&](tavrin::NodeRef leaf) {
        return matcher.matches(leaf.name()) ||
               std::find(planted.begin(), planted.end(), leaf.name()) != planted.end();
    };

    std::vector<double> plain, read, test, find, aside;
    OutlierSet found;
    for (int r = 0; r < rounds; ++r) {
        Clock::time_point t = Clock::now();
        {
            std::string file_text;
            tavrin::read_tree_file(path, file_text);
            Phylogeny tree(std::move(file_text));
            Tavrin analysis(&tree, prefix, false);
        }
        plain.push_back(since(t));

        t = Clock::now();
        Phylogeny tree(text);
        read.push_back(since(t));

        t = Clock::now();
        std::size_t targets = 0;
        tavrin::preorder(tree.root, [&](const Phylogeny_Node* n) {
            if (n->is_leaf && is_target(tavrin::NodeRef(n))) ++targets;
        });
        test.push_back(since(t));

        t = Clock::now();
        found = find_outliers(tree, is_target);
        if (found.target_leaves != targets) return 1;
        find.push_back(since(t));

        t = Clock::now();
        set_aside(tree, found.leaves);
        aside.push_back(since(t));
    }
    std::printf("%s: %zu target leaves, outliers %s%s, %zu set aside\n", path.c_str(),
                found.target_leaves,
                found.outliers ? std::to_string(*found.outliers).c_str() : "absent",
                found.ambiguous ? " (ambiguous)" : "", found.leaves.size());
    const double extra = median(find) + median(aside);
    std::printf("plain run %.1f ms, read %.1f ms, test %.1f ms, find %.1f ms, set aside %.3f ms\n",
                median(plain), median(read), median(test), median(find), median(aside));
    std::printf("find + set aside: %.1f%% of the plain run (x%.3f)\n", 100 * extra / median(plain),
                (median(plain) + extra) / median(plain));
    return 0;
}

}  // namespace tavrin

int main(int argc, char** argv) {
    return tavrin::run_main(argc, argv);
}
