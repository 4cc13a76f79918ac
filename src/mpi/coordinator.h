// Rank 0 once the inputs are read: hands the units (the run's sweeps, or parts of them when
// there are fewer sweeps than ranks: see plan_units) out one at a time to whichever rank asks
// for work, computes units itself on a thread of its own, prints the standard-error text of
// the data sets in run order, and ends the run as the serial program would.
#pragma once

#include <mpi.h>

#include <ostream>

#include "inputs/run_plan.h"
#include "run/run.h"

namespace lg {

// Runs the plan's jobs on every rank of comm (the others are in serve_units). Returns the
// exit status: 2 with the message of the first data set, in run order, whose result files
// could not be written; otherwise the plan's status, with its message.
int coordinate_units(const RunPlan& plan, const RunOptions& options, MPI_Comm comm,
                     std::ostream& err);

}  // namespace lg
