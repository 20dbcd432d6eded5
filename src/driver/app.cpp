#include "driver/app.h"

#include <iostream>

#include "cli/exit_status.h"
#include "driver/file_loop.h"
#include "driver/options.h"
#include "driver/output.h"
#include "output/messages.h"

#ifndef TAVRIN_VERSION
#define TAVRIN_VERSION "unknown"
#endif

namespace tavrin {

int run(const std::vector<std::string>& args, std::istream& in, std::ostream& out,
        std::ostream& err) {
    const CommandLine line = parse_command_line(args);
    RunOutput output(out, err);
    switch (line.request) {
        case Request::kShortHelp:
            err << messages::kHelp;
            return kExitSuccess;
        case Request::kUsage:
            write_usage(out);
            return output.finish(kExitSuccess);
        case Request::kVersion:
            out << "Tavrin " << TAVRIN_VERSION << '\n';
            return output.finish(kExitSuccess);
        case Request::kError:
            err << line.error << std::endl;
            return kExitCommandLine;
        case Request::kRun:
            break;
    }
    // The process's own standard input is read through its descriptor.
    std::istream* input = &in == &std::cin ? nullptr : &in;
    return output.finish(run_files(line.config, input, output));
}

}  // namespace tavrin
