// Ranks other than 0: ask rank 0 for a unit (data sets of one sweep), compute it with this
// rank's threads, report it and ask again, until rank 0 has nothing more to hand out.
#pragma once

#include <mpi.h>

#include "run/run.h"

namespace lg {

void serve_units(const RunOptions& options, MPI_Comm comm);

}  // namespace lg
