// The whole Tavrin program behind its command line, with its streams passed in so that it can be
// run in-process: `main` only hands over the process's own.
#ifndef TAVRIN_DRIVER_APP_H
#define TAVRIN_DRIVER_APP_H

#include <istream>
#include <ostream>
#include <string>
#include <vector>

#include "platform/files.h"

namespace tavrin {

// `args` are the arguments after the program's name. Tree files named "-" read `in`; the report
// goes to `out`, help texts and every message to `err` (the full usage and the version to
// `out`). The exit status.
// `process` says which of the streams are the process's own.
int run(const std::vector<std::string>& args, std::istream& in, std::ostream& out,
        std::ostream& err, const ProcessStreams& process = {});

}  // namespace tavrin

#endif  // TAVRIN_DRIVER_APP_H
