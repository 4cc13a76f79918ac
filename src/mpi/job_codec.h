// A data set to compute as a message: the coordinator sends each worker the job it is to
// compute, with its place in the run.
#pragma once

#include <cstddef>

#include "inputs/data_set_job.h"
#include "mpi/byte_buffer.h"

namespace lg {

// A job and its index in the run's list of jobs.
struct JobAssignment {
  std::size_t index = 0;
  DataSetJob job;
};

// Every field of the job, doubles bit for bit.
Bytes encode_assignment(const JobAssignment& a);

// The inverse of encode_assignment. Throws CodecError for a buffer that encode_assignment
// cannot have produced (truncated, with trailing bytes or with impossible counts).
JobAssignment decode_assignment(const Bytes& bytes);

}  // namespace lg
