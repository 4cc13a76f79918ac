#include "mpi/coordinator.h"

#include <atomic>
#include <exception>
#include <functional>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "mpi/abort_run.h"
#include "mpi/exchange.h"
#include "mpi/job_codec.h"
#include "mpi/unit_report.h"
#include "run/interrupt.h"
#include "run/progress.h"
#include "run/unit_plan.h"
#include "run/unit_schedule.h"
#include "run/unit_work.h"

namespace lg {

namespace {

// What the coordinator and its computing thread share; the mutex guards all of it.
struct Shared {
  std::mutex mutex;
  UnitSchedule schedule;
  std::string fatal;                     // an exception that ended the computing thread
  std::optional<std::size_t> computing;  // the unit the computing thread has in hand
  explicit Shared(const std::vector<std::size_t>& data_sets) : schedule(data_sets) {}
};

// The jobs of each unit.
std::vector<std::vector<DataSetJob>> unit_jobs(const RunPlan& plan, const RunOptions& options,
                                               int ranks) {
  std::vector<std::size_t> sizes;
  for (const std::vector<const DataSetJob*>& sweep :
       sweep_groups(plan.jobs, options.sweep_data_sets)) {
    sizes.push_back(sweep.size());
  }
  std::vector<std::vector<DataSetJob>> units;
  for (const RunUnit& u : plan_units(sizes, ranks)) {
    const auto first = plan.jobs.begin() + static_cast<std::ptrdiff_t>(u.first);
    units.emplace_back(first, first + static_cast<std::ptrdiff_t>(u.count));
  }
  return units;
}

// Rank 0's own share of the work: units taken from the same schedule as the other ranks'.
void compute_locally(const std::vector<std::vector<DataSetJob>>& units, const RunOptions& options,
                     Shared& shared, std::atomic<bool>& done) {
  try {
    for (;;) {
      std::optional<std::size_t> unit;
      {
        std::lock_guard<std::mutex> lock(shared.mutex);
        unit = shared.schedule.next();
        shared.computing = unit;
      }
      if (!unit) break;
      const UnitReport report = compute_unit(*unit, units[*unit], options);
      std::lock_guard<std::mutex> lock(shared.mutex);
      shared.computing.reset();
      shared.schedule.record(report);
    }
  } catch (const Interrupted&) {
    // Noticed by the main thread as well; the temporaries of the unit are gone.
  } catch (const std::exception& e) {
    std::lock_guard<std::mutex> lock(shared.mutex);
    shared.fatal = failure_text(e);
  }
  done = true;
}

}  // namespace

int coordinate_units(const RunPlan& plan, const RunOptions& options, MPI_Comm comm,
                     std::ostream& err) {
  int ranks = 1;
  MPI_Comm_size(comm, &ranks);
  const std::vector<std::vector<DataSetJob>> units = unit_jobs(plan, options, ranks);
  std::vector<std::size_t> sizes;
  for (const std::vector<DataSetJob>& u : units) sizes.push_back(u.size());
  Shared shared(sizes);
  Progress progress(err, options.progress, plan.jobs);
  std::vector<std::size_t> first(units.size(), 0);  // each unit's first job
  for (std::size_t u = 1; u < units.size(); ++u) first[u] = first[u - 1] + units[u - 1].size();
  std::vector<bool> counted(units.size(), false);  // units the progress line has counted

  // Prints the text of the units complete so far in run order, and the progress line.
  auto show = [&] {
    std::string text;
    std::vector<std::size_t> newly;
    {
      std::lock_guard<std::mutex> lock(shared.mutex);
      text = shared.schedule.take_printable();
      for (std::size_t u = 0; u < units.size(); ++u) {
        if (!counted[u] && shared.schedule.is_complete(u)) newly.push_back(u);
      }
    }
    for (const std::size_t u : newly) {
      counted[u] = true;
      progress.complete_items(first[u], units[u].size());
    }
    if (!text.empty()) {
      progress.clear();
      err << text << std::flush;
    }
    progress.show_on_ranks(ranks);
  };

  std::atomic<bool> local_done{false};
  std::thread local(compute_locally, std::cref(units), std::cref(options), std::ref(shared),
                    std::ref(local_done));
  try {
    int serving = ranks - 1;  // ranks still asking for units
    PollPause pause;
    while (serving > 0 || !local_done) {
      MPI_Status status;
      if (!message_waiting(comm, MPI_ANY_SOURCE, status)) {
        check_interrupt();
        {
          std::lock_guard<std::mutex> lock(shared.mutex);
          if (!shared.fatal.empty()) throw Error(shared.fatal);
        }
        show();
        pause.pause();
        continue;
      }
      pause.message();
      if (status.MPI_TAG != kReportTag) {
        throw std::logic_error("unexpected message from rank " + std::to_string(status.MPI_SOURCE));
      }
      const UnitReport report = decode_report(receive_bytes(comm, status));
      std::optional<std::size_t> unit;
      {
        std::lock_guard<std::mutex> lock(shared.mutex);
        if (report.unit) shared.schedule.record(report);
        unit = shared.schedule.next();
      }
      if (unit) {
        send_bytes(comm, status.MPI_SOURCE, kJobTag,
                   encode_assignment(JobAssignment{*unit, units[*unit]}));
      } else {
        send_bytes(comm, status.MPI_SOURCE, kStopTag, Bytes{});
        --serving;
      }
    }
    std::lock_guard<std::mutex> lock(shared.mutex);
    if (!shared.fatal.empty()) throw Error(shared.fatal);
  } catch (const Interrupted& e) {
    // Every rank had the signal and removes the temporaries of its unit at once (mpirun kills
    // the job soon after its first process ends); rank 0 does so for its computing thread,
    // says what happened and ends as the signal would.
    {
      std::lock_guard<std::mutex> lock(shared.mutex);
      if (shared.computing) abandon_unit(units[*shared.computing]);
    }
    progress.finish();
    err << "layergreen: interrupted; the data sets in progress were not written\n" << std::flush;
    die_of(e.signal_number());
  } catch (const std::exception& e) {
    progress.finish();
    abort_run(comm, err, failure_text(e));
  }
  local.join();
  show();
  progress.finish();

  // Every unit is complete, or one failed and the units out at that time have ended.
  err << shared.schedule.take_rest();
  if (const std::optional<std::string> failure = shared.schedule.failure()) {
    err << "layergreen: " << *failure << '\n';
    return kExitInputError;
  }
  if (!plan.message.empty()) err << "layergreen: " << plan.message << '\n';
  return plan.status;
}

}  // namespace lg
