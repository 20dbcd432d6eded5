// Where a run writes: the report (or table) on one stream, messages on the other. The report is
// flushed before each message, so that rows and messages keep their order on a shared terminal,
// and the first failure to write it is kept for the exit status.
#ifndef TAVRIN_DRIVER_OUTPUT_H
#define TAVRIN_DRIVER_OUTPUT_H

#include <ostream>

namespace tavrin {

class RunOutput {
public:
    RunOutput(std::ostream& out, std::ostream& err) : out_(out), err_(err) {}

    std::ostream& out() { return out_; }
    std::ostream& err() { return err_; }

    // Writes out what the report holds so far; false once any of it could not be written.
    bool flush_report();

    // `status` once the report is safely out. Output that could not be written (a full disk, a
    // closed descriptor) is a failure, never a success; a reader that stopped early (`| head`)
    // ends the run quietly, as it does any command-line tool.
    int finish(int status);

private:
    std::ostream& out_;
    std::ostream& err_;
    int error_ = 0;  // the reason the report could not be written (an errno value), or 0
};

}  // namespace tavrin

#endif  // TAVRIN_DRIVER_OUTPUT_H
