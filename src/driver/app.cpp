#include "driver/app.h"

#include <istream>
#include <optional>

#include "cli/exit_status.h"
#include "driver/file_loop.h"
#include "driver/options.h"
#include "driver/output.h"
#include "output/messages.h"
#include "output/progress.h"
#include "platform/files.h"

#ifndef TAVRIN_VERSION
#define TAVRIN_VERSION "unknown"
#endif

namespace tavrin {
namespace {

// The run with --progress. On a terminal, what the run writes there takes the line away first:
// its messages, and its report when standard output shares the terminal.
int run_with_progress(const RunConfig& config, std::istream* input, std::ostream& out,
                      std::ostream& err, const ProcessStreams& process) {
    const bool terminal = process.err_terminal;
    const bool out_terminal = terminal && process.out_terminal;
    std::optional<RunOutput> output;
    Progress progress(err, "Tavrin", config.files.size(), terminal, Progress::steady_clock(),
                      [&output] { output->flush_report(); });
    ClearingBuffer err_buffer(*err.rdbuf(), progress);
    ClearingBuffer out_buffer(*out.rdbuf(), progress);
    std::ostream clearing_err(&err_buffer);
    std::ostream clearing_out(&out_buffer);
    clearing_err.copyfmt(err);  // written as the streams they stand for
    clearing_out.copyfmt(out);
    output.emplace(out_terminal ? clearing_out : out, terminal ? clearing_err : err);
    const int status = output->finish(run_files(config, input, *output, {}, &progress));
    progress.finish();
    return status;
}

}  // namespace

int run(const std::vector<std::string>& args, std::istream& in, std::ostream& out,
        std::ostream& err, const ProcessStreams& process) {
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
    std::istream* input = process.own_input ? nullptr : &in;
    if (line.config.progress) return run_with_progress(line.config, input, out, err, process);
    return output.finish(run_files(line.config, input, output));
}

}  // namespace tavrin
