#include "mpi/worker.h"

#include <exception>
#include <iostream>
#include <stdexcept>
#include <string>

#include "mpi/abort_run.h"
#include "mpi/exchange.h"
#include "mpi/job_codec.h"
#include "mpi/unit_work.h"

namespace lg {

void serve_units(const RunOptions& options, MPI_Comm comm) {
  try {
    UnitReport report;  // the first report, with no unit, asks for work
    for (;;) {
      send_bytes(comm, 0, kReportTag, encode_report(report));
      const MPI_Status status = wait_for_message(comm, 0);
      const Bytes message = receive_bytes(comm, status);
      if (status.MPI_TAG == kStopTag) return;
      if (status.MPI_TAG != kJobTag) throw std::logic_error("unexpected message from rank 0");
      const JobAssignment a = decode_assignment(message);
      report = compute_unit(a.index, a.job, options);
    }
  } catch (const std::exception& e) {
    abort_run(comm, std::cerr, e.what());
  }
}

}  // namespace lg
