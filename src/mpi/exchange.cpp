#include "mpi/exchange.h"

#include <chrono>
#include <climits>
#include <stdexcept>
#include <thread>

#include "run/interrupt.h"

namespace lg {

void send_bytes(MPI_Comm comm, int dest, int tag, const Bytes& bytes) {
  if (bytes.size() > static_cast<std::size_t>(INT_MAX)) {
    throw std::length_error("message too long for one send");
  }
  MPI_Send(bytes.data(), static_cast<int>(bytes.size()), MPI_BYTE, dest, tag, comm);
}

bool message_waiting(MPI_Comm comm, int source, MPI_Status& status) {
  int flag = 0;
  MPI_Iprobe(source, MPI_ANY_TAG, comm, &flag, &status);
  return flag != 0;
}

void PollPause::pause() {
  // About 2 ms of probes every 20 us, then one every millisecond.
  constexpr int kQuickPolls = 100;
  if (idle_polls_ < kQuickPolls) {
    ++idle_polls_;
    std::this_thread::sleep_for(std::chrono::microseconds(20));
  } else {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
}

MPI_Status wait_for_message(MPI_Comm comm, int source) {
  MPI_Status status;
  PollPause pause;
  while (!message_waiting(comm, source, status)) {
    check_interrupt();
    pause.pause();
  }
  return status;
}

Bytes receive_bytes(MPI_Comm comm, const MPI_Status& status) {
  int count = 0;
  MPI_Get_count(&status, MPI_BYTE, &count);
  Bytes bytes(static_cast<std::size_t>(count));
  MPI_Recv(bytes.data(), count, MPI_BYTE, status.MPI_SOURCE, status.MPI_TAG, comm,
           MPI_STATUS_IGNORE);
  return bytes;
}

}  // namespace lg
