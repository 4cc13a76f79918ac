// Reading the inputs of a run: the control file, then for every station and data set the
// model and subfault files, with every echo line, in the order of the run. The result is the
// list of data sets to compute, up to the first failure.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "common/error.h"
#include "common/run_options.h"
#include "inputs/data_set_job.h"

namespace lg {

struct RunPlan {
  std::vector<DataSetJob> jobs;       // every data set before the first failure, in run order
  int status = kExitOk;               // how the run ends once the jobs are done
  std::string message;                // the error line for standard error, if any
  std::vector<std::string> warnings;  // about the inputs, for standard error before the run
};

// Reads everything, writing the echo lines to out. Stops at the first input error or
// subfault-header mismatch, which the returned plan records.
RunPlan plan_run(const RunOptions& options, std::ostream& out);

}  // namespace lg
