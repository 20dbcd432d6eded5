// The whole Tavrin-summary program behind its command line, with its streams passed in so that
// it can be run in-process.
#ifndef TAVRIN_SUMMARY_APP_H
#define TAVRIN_SUMMARY_APP_H

#include <istream>
#include <ostream>
#include <string>
#include <vector>

#include "platform/files.h"

namespace tavrin::summary {

// `args` are the arguments after the program name; `in` is read for `-` or when no report is
// named. The table goes to `out`, the closing count and every message to `err`. The exit
// status: kExitSuccess, or kExitCommandLine for any failure (bad arguments, unreadable or
// malformed report, a table or chart that could not be written); see cli/exit_status.h.
// `process` says which of the streams are the process's own.
int run(const std::vector<std::string>& args, std::istream& in, std::ostream& out,
        std::ostream& err, const ProcessStreams& process = {});

}  // namespace tavrin::summary

#endif
