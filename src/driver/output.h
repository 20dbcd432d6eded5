// The end of a run: its exit statuses, and the report safely written out before the status is
// given.
#ifndef TAVRIN_DRIVER_OUTPUT_H
#define TAVRIN_DRIVER_OUTPUT_H

namespace tavrin {

// Status of every fatal input or output error: a tree or group file that cannot be read, an
// unusable pattern, memory that ran out, output that cannot be written. The run ends at once;
// rows already written stay written.
constexpr int kFatalInputStatus = 15;
// Status of a command line that cannot be run, before any file is read.
constexpr int kUsageErrorStatus = 2;

// Writes out what the report on standard output holds so far; false once any of it could not
// be written.
bool flush_report();

// Ends the run with `status` once the report is safely out. Output that could not be written
// (a full disk, a closed descriptor) is a failure, never a success; a reader that stopped
// early (`| head`) ends the run quietly, as it does any command-line tool.
int finish(int status);

}  // namespace tavrin

#endif  // TAVRIN_DRIVER_OUTPUT_H
