// Computing data sets and writing their result files: the data sets of a sweep computed
// together on the run's threads, each one's files put in place only when complete.
#pragma once

#include <ostream>
#include <vector>

#include "inputs/data_set_job.h"
#include "run/data_set_spectra.h"
#include "run/progress.h"
#include "run/run.h"

namespace lg {

// The job's data set in the kernel's terms: thicknesses, receivers relative to the source.
SpectraRequest classic_request(const DataSetJob& job);

// Computes the job and writes its result files. Throws OutputError when a file cannot be
// written (nothing of the data set is then left behind). Warnings go to err.
void run_data_set(const DataSetJob& job, const RunOptions& options, std::ostream& err);

// Computes jobs that share a sweep (see share_sweep) together and writes their files, in
// order, with the warnings of each after its files. When a file of job j cannot be created
// or written, jobs 0 .. j-1 are still completed and committed, nothing of j and later ones is
// left behind, and the OutputError of j is thrown: the same outcome as running the jobs one
// by one.
// The frequencies done go to `progress` when given (its line is cleared before the warnings).
void run_data_sets(const std::vector<const DataSetJob*>& jobs, const RunOptions& options,
                   std::ostream& err, Progress* progress = nullptr);

}  // namespace lg
