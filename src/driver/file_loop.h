// The file loop of Tavrin: every tree of every tree file, read, analysed and written as the
// report or, with --table, as the table.
#ifndef TAVRIN_DRIVER_FILE_LOOP_H
#define TAVRIN_DRIVER_FILE_LOOP_H

#include <istream>

#include "driver/options.h"
#include "driver/output.h"
#include "driver/tree_work.h"

namespace tavrin {

class Progress;

// Processes the tree files of `config`, writing to `output`; "-" reads `input` (null: the
// process's standard input). The exit status, before the report is flushed. Memory that runs
// out ends the run like any fatal input error, after the rows already made, and so does a step
// that fails otherwise, with any number of threads. `check` is called before each tree is
// analysed. With `progress`, every row written and every file finished is told to it.
int run_files(const RunConfig& config, std::istream* input, RunOutput& output, StepCheck check = {},
              Progress* progress = nullptr);

}  // namespace tavrin

#endif  // TAVRIN_DRIVER_FILE_LOOP_H
