// The exit statuses of both programs.
#ifndef TAVRIN_CLI_EXIT_STATUS_H
#define TAVRIN_CLI_EXIT_STATUS_H

namespace tavrin {

constexpr int kExitSuccess = 0;
// A command line that cannot be run, found before any file is read. Tavrin-summary ends with it
// on any failure.
constexpr int kExitCommandLine = 2;
// Tavrin: a fatal input or output error (a tree or group file that cannot be read, an unusable
// pattern, memory that ran out, output that cannot be written). The run ends at once; rows
// already written stay written.
constexpr int kExitFatal = 15;

}  // namespace tavrin

#endif  // TAVRIN_CLI_EXIT_STATUS_H
