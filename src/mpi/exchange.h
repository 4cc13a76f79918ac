// Sending and receiving the byte messages between the ranks of a run, and the tags that tell
// them apart. Waiting polls with sleeps, so that a rank waiting for its next unit leaves its
// core to the threads of the ranks that compute.
#pragma once

#include <mpi.h>

#include "mpi/byte_buffer.h"

namespace lg {

// A rank's report of a unit, or its request for a first one (to rank 0).
inline constexpr int kReportTag = 1;
// A unit to compute (from rank 0).
inline constexpr int kJobTag = 2;
// No more units: the rank leaves the run (from rank 0, empty).
inline constexpr int kStopTag = 3;

void send_bytes(MPI_Comm comm, int dest, int tag, const Bytes& bytes);

// Whether a message from `source` (or MPI_ANY_SOURCE) with any tag is waiting; its envelope
// goes to status.
bool message_waiting(MPI_Comm comm, int source, MPI_Status& status);

// The pause between two probes of a rank that waits: short for a while after the last
// message (answers and further requests come quickly then), long once the rank has been idle,
// so that it takes next to no processor time from the computing threads.
class PollPause {
 public:
  void message() { idle_polls_ = 0; }
  void pause();

 private:
  int idle_polls_ = 0;
};

// Waits for a message from `source` with any tag and returns its envelope.
MPI_Status wait_for_message(MPI_Comm comm, int source);

// Receives the message whose envelope a probe returned.
Bytes receive_bytes(MPI_Comm comm, const MPI_Status& status);

}  // namespace lg
