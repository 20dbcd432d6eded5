// Times the group relations on their own: loading a group file (the closure and the indexes),
// naming clades against it, and the membership and common-group queries; then the loading of two
// files of repeated lines (100,000 lines "X X", and "X X" / "Y X" alternating), which a closure
// that scanned every copy of a pair made quadratic.
//
//   tavrin_bench_groups GROUP_FILE TREE_FILE [ROUNDS]
//
// Prints one line per measurement with the median over the rounds (one round for the
// repeated lines).
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "contract/tavrin.h"
#include "platform/huge_pages.h"
#include "tree/phylogeny.h"
#include "tree/walk.h"

namespace tavrin {

namespace {

using Clock = std::chrono::steady_clock;

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

double since(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

size_t count_leaves(const Phylogeny_Node* top) {
    size_t leaves = 0;
    tavrin::preorder(top, [&](const Phylogeny_Node* n) { leaves += n->is_leaf ? 1 : 0; });
    return leaves;
}

// Writes `lines` lines, `first` and `second` alternating, to a file beside the group file, and
// times one load of it.
void time_repeated_lines(const std::string& beside, const char* first, const char* second) {
    const std::string path = beside + ".repeated";
    constexpr int lines = 100000;
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        for (int i = 0; i < lines; ++i)
            out << (i % 2 == 0 ? first : second) << '\n';
    }
    Phylogeny one_leaf("Nothing-1;");
    const Clock::time_point t = Clock::now();
    Tavrin analysis(&one_leaf, "Nothing", path, false);
    const double ms = since(t);
    std::printf("load %d lines \"%s\" / \"%s\" alternating (%zu pairs): %.1f ms\n", lines, first,
                second, analysis.groups.size(), ms);
    std::remove(path.c_str());
}

}  // namespace

int run_main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s GROUP_FILE TREE_FILE [ROUNDS]\n", argv[0]);
        return 2;
    }
    // As the driver does: freed memory stays with the process for the next round.
    tavrin::keep_freed_memory();
    const std::string group_file = argv[1];
    const int rounds = argc > 3 ? std::max(1, std::atoi(argv[3])) : 5;
    std::ifstream in(argv[2], std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    text.erase(std::remove(text.begin(), text.end(), '\n'), text.end());
    Phylogeny tree(text);
    Phylogeny one_leaf("Nothing-1;");
    if (tree.root == nullptr || tree.root->is_leaf) return 1;

    std::vector<double> load, name_clade, name_root, queries;
    size_t pairs = 0;
    std::string clade_name, root_name;
    const size_t clade_leaves = count_leaves(tree.root->left);
    for (int r = 0; r < rounds; ++r) {
        Clock::time_point t = Clock::now();
        Tavrin analysis(&one_leaf, "Nothing", group_file, false);
        load.push_back(since(t));
        pairs = analysis.groups.size();

        t = Clock::now();
        clade_name = analysis.print_name_if_same(tree.root->left);
        name_clade.push_back(since(t));

        t = Clock::now();
        root_name = analysis.print_name_if_same(tree.root);
        name_root.push_back(since(t));

        // 100,000 membership and common-group queries over names from the list.
        t = Clock::now();
        size_t hits = 0;
        const size_t n = analysis.groups.size();
        for (size_t i = 0; i < 100000 && n > 0; ++i) {
            const GroupPair& a = analysis.groups[(i * 7919) % n];
            const GroupPair& b = analysis.groups[(i * 104729) % n];
            hits += analysis.sameGroup(a.member, b.group);
            hits += !analysis.lowest_common_group(a.member, b.member).empty();
        }
        queries.push_back(since(t));
        if (hits == SIZE_MAX) std::puts("");  // keeps the loop from being optimised away
    }
    std::printf("pairs after closure: %zu\n", pairs);
    // Later rounds read the same unchanged file: its relations are reused, not read again.
    std::printf("load group file: %.1f ms first, %.1f ms median (unchanged file, reused)\n",
                load[0], median(load));
    std::printf("name a %zu-leaf clade (%s): %.2f ms\n", clade_leaves, clade_name.c_str(),
                median(name_clade));
    std::printf("name the %zu-leaf tree (%s): %.2f ms\n", count_leaves(tree.root),
                root_name.empty() ? "no name" : root_name.c_str(), median(name_root));
    std::printf("100000 sameGroup + lowest_common_group queries: %.1f ms\n", median(queries));
    time_repeated_lines(group_file, "X X", "X X");
    time_repeated_lines(group_file, "X X", "Y X");
    return 0;
}

}  // namespace tavrin

int main(int argc, char** argv) {
    return tavrin::run_main(argc, argv);
}
