#include "driver/output.h"

#include <cerrno>
#include <cstring>

#include "cli/exit_status.h"
#include "output/messages.h"

namespace tavrin {

bool RunOutput::flush_report() {
    if (error_ == 0) {
        if (out_) errno = 0;  // else keep the cause of the write that failed
        if (!out_.flush()) error_ = errno != 0 ? errno : EIO;
    }
    return error_ == 0;
}

int RunOutput::finish(int status) {
    if (flush_report()) return status;
    if (error_ != EPIPE) {
        err_ << messages::kCannotWriteOutput << std::strerror(error_) << std::endl;
    }
    return kExitFatal;
}

}  // namespace tavrin
