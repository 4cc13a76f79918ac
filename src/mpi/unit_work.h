// Computing one unit on this rank: the data set with the rank's threads, its result files put
// in place the safe way, and everything it would print on standard error kept for the report.
#pragma once

#include <cstddef>

#include "inputs/data_set_job.h"
#include "mpi/unit_report.h"
#include "run/run.h"

namespace lg {

// Computes job `index` and reports its outcome. A result file that cannot be written is a
// failed report; nothing of that data set is then left behind.
UnitReport compute_unit(std::size_t index, const DataSetJob& job, const RunOptions& options);

}  // namespace lg
