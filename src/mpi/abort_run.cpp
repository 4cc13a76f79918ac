#include "mpi/abort_run.h"

#include <cstdlib>

#include "run/run.h"

namespace lg {

void abort_run(MPI_Comm comm, std::ostream& err, const std::string& what) {
  err << "layergreen: " << what << '\n' << std::flush;
  MPI_Abort(comm, kExitInputError);
  std::_Exit(kExitInputError);  // MPI_Abort does not return; this is in case it does
}

}  // namespace lg
