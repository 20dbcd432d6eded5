// The file loop of Tavrin: every tree of every tree file, read, analysed and written as the
// report or, with --table, as the table.
#ifndef TAVRIN_DRIVER_FILE_LOOP_H
#define TAVRIN_DRIVER_FILE_LOOP_H

#include <string>
#include <vector>

#include "driver/options.h"

namespace tavrin {

// Processes the tree files of `arg` (arg[0] being the program's name) as `options` say; the exit
// status, before the report is flushed. Memory that runs out ends the run like any fatal input
// error, after the rows already made.
int run_files(const std::vector<std::string>& arg, const Options& options);

}  // namespace tavrin

#endif  // TAVRIN_DRIVER_FILE_LOOP_H
