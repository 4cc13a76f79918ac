// The run driver: reads the control file in the working directory and computes and writes
// the Green's functions of every station and data set.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "common/error.h"
#include "common/run_options.h"
#include "inputs/data_set_job.h"
#include "run/command_line.h"

namespace lg {

// Consecutive data sets that share the model and the sampling are computed in one sweep: at
// most `max_data_sets` of them (kMaxSweepDataSets by default), with result files (all open at once)
// to at most half of what the process may open beyond 64 (between 16 and 2048), and
// kMaxSweepTableBytes of tabulated Bessel values; never two that write the same file. This bounds a
// sweep's memory and open files.
inline constexpr double kMaxSweepTableBytes = 64.0 * 1024 * 1024;

// The sweeps of a run's data sets, in run order.
std::vector<std::vector<const DataSetJob*>> sweep_groups(const std::vector<DataSetJob>& jobs,
                                                         std::size_t max_data_sets);

// Performs the run. The echo lines go to out, messages to err. Returns the exit status:
// 0 on success, 1 when a subfault-file header does not match the control file, 2 on bad
// input or a result file that cannot be written.
int run(const RunOptions& options, std::ostream& out, std::ostream& err);

}  // namespace lg
