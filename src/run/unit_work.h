// Computing one unit of a run (layergreen's, or one rank's share of layergreen-mpi's): its data
// sets together in one sweep on the given threads, their result files put in place the safe
// way, and everything they would print on standard error kept for the report.
#pragma once

#include <cstddef>
#include <vector>

#include "inputs/data_set_job.h"
#include "run/progress.h"
#include "run/run.h"
#include "run/unit_schedule.h"

namespace lg {

// Computes unit `index` (consecutive jobs of one sweep) and reports its outcome. A result
// file that cannot be written is a failed report: the jobs before the failing one are
// complete, nothing of it or later ones is left behind, as in layergreen.
// `progress` (may be null) is told of the frequencies done.
UnitReport compute_unit(std::size_t index, const std::vector<const DataSetJob*>& jobs,
                        const RunOptions& options, Progress* progress = nullptr);
UnitReport compute_unit(std::size_t index, const std::vector<DataSetJob>& jobs,
                        const RunOptions& options);

// Removes the temporary files of the unit's jobs (after a signal).
void abandon_unit(const std::vector<DataSetJob>& jobs);

}  // namespace lg
