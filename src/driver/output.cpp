#include "driver/output.h"

#include <cerrno>
#include <cstring>
#include <iostream>

#include "messages.h"

namespace tavrin {

namespace {

// The reason the report could not be written (an errno value), or 0 while all went out.
int output_error = 0;

}  // namespace

bool flush_report() {
    if (output_error == 0) {
        if (std::cout) errno = 0;  // else keep the cause of the write that failed
        if (!std::cout.flush()) output_error = errno != 0 ? errno : EIO;
    }
    return output_error == 0;
}

int finish(int status) {
    if (flush_report()) return status;
    if (output_error != EPIPE) {
        std::cerr << messages::kCannotWriteOutput << std::strerror(output_error) << std::endl;
    }
    return kFatalInputStatus;
}

}  // namespace tavrin
