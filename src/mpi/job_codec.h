// A unit to compute as a message: the coordinator sends each worker the jobs it is to
// compute together (consecutive jobs of one sweep), with the unit's number.
#pragma once

#include <cstddef>
#include <vector>

#include "inputs/data_set_job.h"
#include "mpi/byte_buffer.h"

namespace lg {

// A unit's number and its jobs, in run order.
struct JobAssignment {
  std::size_t index = 0;
  std::vector<DataSetJob> jobs;
};

// Every field of every job, doubles bit for bit.
Bytes encode_assignment(const JobAssignment& a);

// The inverse of encode_assignment. Throws CodecError for a buffer that encode_assignment
// cannot have produced (truncated, with trailing bytes or with impossible counts).
JobAssignment decode_assignment(const Bytes& bytes);

}  // namespace lg
