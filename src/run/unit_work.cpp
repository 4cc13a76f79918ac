#include "run/unit_work.h"

#include <sstream>

#include "output/result_files.h"
#include "run/data_set_run.h"

namespace lg {

UnitReport compute_unit(std::size_t index, const std::vector<DataSetJob>& jobs,
                        const RunOptions& options) {
  UnitReport r;
  r.unit = index;
  std::ostringstream err;
  // The per-data-set progress line makes no sense in captured text; the coordinator shows
  // the progress of the whole run instead.
  RunOptions quiet = options;
  quiet.progress = false;
  std::vector<const DataSetJob*> sweep;
  for (const DataSetJob& job : jobs) sweep.push_back(&job);
  try {
    run_data_sets(sweep, quiet, err);
  } catch (const OutputError& e) {
    r.failed = true;
    r.error = e.what();
  }
  r.warnings = err.str();
  return r;
}

void abandon_unit(const std::vector<DataSetJob>& jobs) {
  for (const DataSetJob& job : jobs) ResultFiles::abandon(job.result_names);
}

}  // namespace lg
