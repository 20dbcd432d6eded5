// Tavrin-summary: tallies the sister clades of Tavrin reports into a table and a bar chart.
#include <iostream>
#include <string>
#include <vector>

#include "platform/files.h"
#include "platform/huge_pages.h"
#include "summary/app.h"

int main(int argc, char** argv) {
    // Freed memory stays with the process, so the tables that double as they grow reuse pages
    // instead of asking the kernel for fresh ones (a large part of the time on big reports).
    tavrin::keep_freed_memory();
    // Standard input is read in large blocks; unsynchronised streams do that directly.
    std::ios::sync_with_stdio(false);
    const std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + (argc > 0 ? argc : 0));
    return tavrin::summary::run(args, std::cin, std::cout, std::cerr, tavrin::process_streams());
}
