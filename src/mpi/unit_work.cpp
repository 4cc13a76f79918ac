#include "mpi/unit_work.h"

#include <sstream>

#include "output/result_files.h"
#include "run/data_set_run.h"

namespace lg {

UnitReport compute_unit(std::size_t index, const DataSetJob& job, const RunOptions& options) {
  UnitReport r;
  r.unit = index;
  std::ostringstream err;
  // The per-data-set progress line makes no sense in captured text; the coordinator shows
  // the progress of the whole run instead.
  RunOptions quiet = options;
  quiet.progress = false;
  try {
    run_data_set(job, quiet, err);
  } catch (const OutputError& e) {
    r.failed = true;
    r.error = e.what();
  }
  r.warnings = err.str();
  return r;
}

}  // namespace lg
