#include "mpi/abort_run.h"

#include <cstdlib>
#include <new>
#include <system_error>

#include "run/run.h"

namespace lg {

void abort_run(MPI_Comm comm, std::ostream& err, const std::string& what) {
  err << "layergreen: " << what << '\n' << std::flush;
  MPI_Abort(comm, kExitInputError);
  std::_Exit(kExitInputError);  // MPI_Abort does not return; this is in case it does
}

std::string failure_text(const std::exception& e) {
  if (dynamic_cast<const std::bad_alloc*>(&e) != nullptr) {
    return "out of memory; the data set in progress was not written";
  }
  if (const auto* s = dynamic_cast<const std::system_error*>(&e)) {
    return "cannot start a thread: " + s->code().message() +
           "; the data set in progress was not written";
  }
  return e.what();
}

}  // namespace lg
