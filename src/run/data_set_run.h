// Computing one data set and writing its result files: geometry, the frequency loop on the
// run's threads, and the files put in place only when complete.
#pragma once

#include <ostream>

#include "inputs/data_set_job.h"
#include "run/run.h"

namespace lg {

// Computes the job and writes its result files. Throws OutputError when a file cannot be
// written (nothing of the data set is then left behind). Warnings go to err.
void run_data_set(const DataSetJob& job, const RunOptions& options, std::ostream& err);

}  // namespace lg
