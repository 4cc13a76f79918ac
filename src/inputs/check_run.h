// The --check mode: reads and validates every input file of a run and reports every problem
// found, with warnings about sampling that cannot give good results, without computing or
// writing anything.
#pragma once

#include <ostream>

#include "common/run_options.h"

namespace lg {

// Reports problems and warnings on err and a summary line on out. Returns 0 when all is
// well, 1 when there are warnings only, 2 when there are problems.
int check_run(const RunOptions& options, std::ostream& out, std::ostream& err);

}  // namespace lg
