#include "mpi/worker.h"

#include <atomic>
#include <chrono>
#include <exception>
#include <iostream>
#include <stdexcept>
#include <string>
#include <thread>

#include "mpi/abort_run.h"
#include "mpi/exchange.h"
#include "mpi/job_codec.h"
#include "mpi/unit_report.h"
#include "run/interrupt.h"
#include "run/unit_work.h"

namespace lg {

namespace {

// A rank other than 0 that got SIGINT or SIGTERM: its temporaries are gone; it gives rank 0,
// which says what happened, a moment to do so before ending by the signal (mpirun ends the
// whole job, and may drop what rank 0 has still to print, as soon as one rank has died).
[[noreturn]] void end_after_rank_0(int sig) {
  std::this_thread::sleep_for(std::chrono::milliseconds(250));
  die_of(sig);
}

// Computes a unit on a thread of its own while this thread watches for a signal: mpirun kills
// the job soon after it forwards SIGTERM, so the temporaries go at once, not after the
// frequency in progress.
UnitReport compute_watched(const JobAssignment& a, const RunOptions& options) {
  std::atomic<bool> finished{false};
  UnitReport report;
  std::exception_ptr failure;
  std::thread computing([&] {
    try {
      report = compute_unit(a.index, a.jobs, options);
    } catch (...) {
      failure = std::current_exception();
    }
    finished = true;
  });
  while (!finished) {
    if (const int sig = pending_interrupt()) {
      abandon_unit(a.jobs);
      end_after_rank_0(sig);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  computing.join();
  if (failure) std::rethrow_exception(failure);
  return report;
}

}  // namespace

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
      report = compute_watched(a, options);
    }
  } catch (const Interrupted& e) {
    // The temporaries of the unit in progress are gone; rank 0 reports the interruption.
    end_after_rank_0(e.signal_number());
  } catch (const std::exception& e) {
    abort_run(comm, std::cerr, failure_text(e));
  }
}

}  // namespace lg
