#include "inputs/run_plan.h"

#include "inputs/input_walk.h"
#include "textio/input_error.h"

namespace lg {

RunPlan plan_run(const RunOptions& options, std::ostream& out) {
  RunPlan p;
  WalkSink sink;
  sink.data_set = [&](const DataSetJob& job, bool) { p.jobs.push_back(job); };
  sink.warning = [&](const std::string& what) { p.warnings.push_back(what); };
  try {
    walk_inputs(options, WalkMode::run, out, sink);
  } catch (const Error& e) {
    // A fault in the inputs (InputError), a header that does not match (SubfaultHeaderMismatch)
    // or a station folder that cannot take files.
    p.status = e.exit_status();
    p.message = e.what();
  }
  out.flush();
  return p;
}

}  // namespace lg
