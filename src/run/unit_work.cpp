#include "run/unit_work.h"

#include <sstream>

#include "output/result_files.h"
#include "run/data_set_run.h"

namespace lg {

UnitReport compute_unit(std::size_t index, const std::vector<const DataSetJob*>& jobs,
                        const RunOptions& options, Progress* progress) {
  UnitReport r;
  r.unit = index;
  std::ostringstream err;
  try {
    run_data_sets(jobs, options, err, progress);
  } catch (const OutputError& e) {
    r.failed = true;
    r.error = e.what();
  }
  r.warnings = err.str();
  return r;
}

UnitReport compute_unit(std::size_t index, const std::vector<DataSetJob>& jobs,
                        const RunOptions& options) {
  std::vector<const DataSetJob*> sweep;
  for (const DataSetJob& job : jobs) sweep.push_back(&job);
  return compute_unit(index, sweep, options);
}

void abandon_unit(const std::vector<DataSetJob>& jobs) {
  for (const DataSetJob& job : jobs) ResultFiles::abandon(job.result_names);
}

}  // namespace lg
