// Tavrin: for each tree file, the sister clades of the target group and their support.
#include <iostream>
#include <string>
#include <vector>

#include "driver/app.h"
#include "platform/files.h"
#include "platform/huge_pages.h"
#include "tree/phylogeny.h"

int main(int argc, char** argv) {
    // Memory once obtained stays with the process: tree after tree reuses the same pages
    // instead of asking the kernel for fresh ones, which is most of the cost of a big tree.
    tavrin::keep_freed_memory();
    // The process ends with the run: its last tree is not taken apart node by node.
    tavrin::leave_spent_trees_to_exit();
    std::ios::sync_with_stdio(false);
    const std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + (argc > 0 ? argc : 0));
    return tavrin::run(args, std::cin, std::cout, std::cerr, tavrin::process_streams());
}
