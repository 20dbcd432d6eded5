// Tavrin: for each tree file, the sister clades of the target group and their support.
#include <iostream>
#include <string>
#include <vector>

#include "driver/file_loop.h"
#include "driver/options.h"
#include "driver/output.h"
#include "messages.h"
#include "platform/huge_pages.h"

namespace messages = tavrin::messages;

int main(int argc, char** argv) {
    // Memory once obtained stays with the process: tree after tree reuses the same pages
    // instead of asking the kernel for fresh ones, which is most of the cost of a big tree.
    tavrin::keep_freed_memory();
    std::ios::sync_with_stdio(false);
    const std::vector<std::string> arg(argv, argv + argc);
    if (arg.size() == 2 && arg[1] == "--version") {
        std::cout << "Tavrin " << TAVRIN_VERSION << '\n';
        return tavrin::finish(0);
    }
    tavrin::Options options;
    const tavrin::ParsedCommandLine parsed = tavrin::parse_command_line(arg, options);
    switch (parsed.request) {
        case tavrin::Request::kShortHelp:
            std::cerr << messages::kHelp;
            return 0;
        case tavrin::Request::kUsage:
            std::cout << messages::kUsage;
            return tavrin::finish(0);
        case tavrin::Request::kError:
            std::cerr << parsed.error << std::endl;
            return tavrin::kUsageErrorStatus;
        case tavrin::Request::kRun:
            break;
    }
    return tavrin::finish(tavrin::run_files(arg, options));
}
