#pragma once
// Tavrin run in-process on an argument list, with empty standard input: what it wrote and the
// status it returned.

#include <sstream>
#include <string>
#include <vector>

#include "driver/app.h"

namespace tavrin {

struct Written {
    int status = 0;
    std::string out, err;
};

inline Written run_args(const std::vector<std::string>& args) {
    std::istringstream in;
    std::ostringstream out, err;
    Written written;
    written.status = run(args, in, out, err);
    written.out = out.str();
    written.err = err.str();
    return written;
}

}  // namespace tavrin
