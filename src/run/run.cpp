#include "run/run.h"

#include <sys/resource.h>

#include <algorithm>
#include <optional>
#include <set>
#include <string>

#include "inputs/run_plan.h"
#include "output/result_files.h"
#include "run/data_set_run.h"
#include "run/progress.h"
#include "run/unit_schedule.h"
#include "run/unit_work.h"

namespace lg {

namespace {

// The result files a sweep may hold open.
std::size_t open_file_budget() {
  rlimit r{};
  std::size_t limit = 1024;
  if (::getrlimit(RLIMIT_NOFILE, &r) == 0 && r.rlim_cur != RLIM_INFINITY) {
    limit = static_cast<std::size_t>(r.rlim_cur);
  } else if (::getrlimit(RLIMIT_NOFILE, &r) == 0) {
    limit = 4096 + 64;
  }
  return std::clamp<std::size_t>(limit > 64 ? (limit - 64) / 2 : 0, 16, 2048);
}

}  // namespace

std::vector<std::vector<const DataSetJob*>> sweep_groups(const std::vector<DataSetJob>& jobs,
                                                         std::size_t max_data_sets) {
  const std::size_t max_files = open_file_budget();
  std::vector<std::vector<const DataSetJob*>> groups;
  SpectraRequest leader;
  std::set<std::string> names;  // the result files of the current group
  std::size_t files = 0;
  double table_bytes = 0.0;
  for (const DataSetJob& job : jobs) {
    const SpectraRequest q = classic_request(job);
    const double bytes = (q.ikmax + 1.0) * 2.0 * static_cast<double>(q.x.size()) * sizeof(double);
    bool joins = !groups.empty() && groups.back().size() < max_data_sets &&
                 files + job.result_names.size() <= max_files &&
                 table_bytes + bytes <= kMaxSweepTableBytes && share_sweep(leader, q);
    // Two data sets writing the same file must run one after the other, as they were read.
    for (const std::string& n : job.result_names) joins = joins && names.count(n) == 0;
    if (!joins) {
      groups.emplace_back();
      leader = q;
      names.clear();
      files = 0;
      table_bytes = 0.0;
    }
    groups.back().push_back(&job);
    names.insert(job.result_names.begin(), job.result_names.end());
    files += job.result_names.size();
    table_bytes += bytes;
  }
  return groups;
}

int run(const RunOptions& options, std::ostream& out, std::ostream& err) {
  // All inputs are read (and echoed) first; the data sets before the first failure are then
  // computed, and the run ends as the failure says.
  const RunPlan plan = plan_run(options, out);
  for (const std::string& w : plan.warnings) err << "layergreen: warning: " << w << '\n';
  Progress progress(err, options.progress, plan.jobs);
  // The units of one rank are the sweeps, computed in run order by the schedule of
  // layergreen-mpi.
  const std::vector<std::vector<const DataSetJob*>> units =
      sweep_groups(plan.jobs, options.sweep_data_sets);
  std::vector<std::size_t> sizes;
  for (const std::vector<const DataSetJob*>& u : units) sizes.push_back(u.size());
  UnitSchedule schedule(sizes);
  while (const std::optional<std::size_t> unit = schedule.next()) {
    const std::vector<const DataSetJob*>& sweep = units[*unit];
    // A sweep is a run of consecutive jobs of the plan.
    progress.start(static_cast<std::size_t>(sweep.front() - plan.jobs.data()), sweep.size());
    schedule.record(compute_unit(*unit, sweep, options, &progress));
    err << schedule.take_printable();
    if (const std::optional<std::string> failure = schedule.failure()) {
      progress.clear();
      err << schedule.take_rest() << "layergreen: " << *failure << '\n';
      return kExitInputError;
    }
    progress.complete();
  }
  progress.finish();
  if (!plan.message.empty()) err << "layergreen: " << plan.message << '\n';
  return plan.status;
}

}  // namespace lg
