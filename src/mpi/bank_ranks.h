// layergreen-mpi bank: the bank on the ranks of an MPI job. Every rank reads the
// configuration and plans alike; rank 0 keeps the journal, hands the data sets out in sweeps
// (computed together, see equal_sweeps) to whichever rank asks, appends each finished one to
// the journal as it arrives and writes the bank file, the same file as layergreen bank. With
// one rank, rank 0 computes.
#pragma once

#include <mpi.h>

#include <cstddef>
#include <ostream>
#include <vector>

#include "bank/bank_journal.h"
#include "bank/bank_run.h"
#include "mpi/byte_buffer.h"

namespace lg {

// Finished data sets as a message, and back (each checked against the bank's shape).
Bytes encode_records(const std::vector<JournalRecord>& records);
std::vector<JournalRecord> decode_records(const Bytes& bytes, const JournalShape& shape);

// Runs the bank on the ranks of `comm`; rank 0 prints the plan on out and messages on err.
// Returns the exit status (0, or 2 on bad input or a file that cannot be written).
int run_bank_ranks(const BankOptions& o, MPI_Comm comm, std::ostream& out, std::ostream& err);

}  // namespace lg
