#include "run/run.h"

#include "inputs/run_plan.h"
#include "output/result_files.h"
#include "run/data_set_run.h"

namespace lg {

int run(const RunOptions& options, std::ostream& out, std::ostream& err) {
  // All inputs are read (and echoed) first; the data sets before the first failure are then
  // computed, and the run ends as the failure says.
  const RunPlan plan = plan_run(options, out);
  for (const DataSetJob& job : plan.jobs) {
    try {
      run_data_set(job, options, err);
    } catch (const OutputError& e) {
      err << "layergreen: " << e.what() << '\n';
      return kExitInputError;
    }
  }
  if (!plan.message.empty()) err << "layergreen: " << plan.message << '\n';
  return plan.status;
}

}  // namespace lg
