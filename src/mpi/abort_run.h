// The end of a run that cannot go on in order (a message that cannot be decoded, memory
// exhausted, a thread that cannot be started): one line on standard error, then every rank
// of the job is stopped.
#pragma once

#include <mpi.h>

#include <exception>
#include <ostream>
#include <string>

namespace lg {

[[noreturn]] void abort_run(MPI_Comm comm, std::ostream& err, const std::string& what);

// The message text of an exception that ends a rank: what the serial program would say.
std::string failure_text(const std::exception& e);

}  // namespace lg
