// layergreen-mpi: the run of layergreen on the ranks of an MPI job, started with mpirun in the
// working directory of a run.
#include <mpi.h>
#include <sched.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <exception>
#include <iostream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "bank/bank_run.h"
#include "inputs/run_plan.h"
#include "mpi/abort_run.h"
#include "mpi/bank_ranks.h"
#include "mpi/coordinator.h"
#include "mpi/mpi_options.h"
#include "mpi/rank_threads.h"
#include "mpi/worker.h"
#include "run/interrupt.h"
#include "run/run.h"
#include "run/run_lock.h"

namespace {

// Ranks sharing this rank's node.
int ranks_on_node(MPI_Comm comm) {
  int rank = 0;
  MPI_Comm_rank(comm, &rank);
  MPI_Comm node;
  MPI_Comm_split_type(comm, MPI_COMM_TYPE_SHARED, rank, MPI_INFO_NULL, &node);
  int n = 1;
  MPI_Comm_size(node, &n);
  MPI_Comm_free(&node);
  return n;
}

// Cores this process may run on (its binding), or 0 when that cannot be told.
int bound_cores() {
  cpu_set_t set;
  CPU_ZERO(&set);
  if (::sched_getaffinity(0, sizeof set, &set) != 0) return 0;
  return CPU_COUNT(&set);
}

// layergreen-mpi bank CONFIG.toml [options]: the bank on the ranks of the job.
int run_bank_rank(const lg::MpiCommandLine& cl) {
  const MPI_Comm comm = MPI_COMM_WORLD;
  int rank = 0;
  MPI_Comm_rank(comm, &rank);
  const bool lead = rank == 0;
  const std::optional<int> threads = cl.threads;
  lg::BankOptions o = lg::bank_options(cl);
  o.progress = o.progress && lead;
  std::ostringstream elsewhere;
  const int cores = bound_cores();
  o.threads = lg::rank_thread_count(threads, std::getenv("OMP_NUM_THREADS"), ranks_on_node(comm),
                                    cores, lead ? std::cerr : elsewhere);
  if (lead) lg::warn_if_bound(o.threads, cores, std::cerr);
  return lg::run_bank_ranks(o, comm, std::cout, std::cerr);
}

// Everything between MPI's start and end; returns this rank's exit status.
int run_rank(int argc, char** argv, int provided) {
  const MPI_Comm comm = MPI_COMM_WORLD;
  int rank = 0;
  MPI_Comm_rank(comm, &rank);
  const bool lead = rank == 0;

  using Action = lg::MpiCommandLine::Action;
  const lg::MpiCommandLine cl = lg::parse_mpi_command_line(
      std::vector<std::string>(argv + 1, argv + argc), ::isatty(STDERR_FILENO) != 0);
  switch (cl.action) {
    case Action::kHelp:
      if (lead) std::cout << *lg::help_text(cl.command, lg::Program::kMpi);
      return 0;
    case Action::kVersion:
      if (lead) std::cout << "layergreen-mpi " << LAYERGREEN_VERSION << '\n';
      return 0;
    case Action::kUsageError:
      if (!lead) return 0;
      std::cerr << "layergreen: " << cl.error << '\n' << lg::mpi_usage();
      return lg::kExitInputError;
    case Action::kRun:
      break;
  }
  if (cl.command == "bank") return run_bank_rank(cl);
  // Rank 0 computes on a thread of its own while its main thread talks to the other ranks.
  if (provided < MPI_THREAD_FUNNELED) {
    lg::abort_run(comm, std::cerr,
                  "the MPI library does not support threads (MPI_THREAD_FUNNELED)");
  }

  std::ostringstream elsewhere;  // the other ranks' copies of rank 0's warnings
  lg::RunOptions options;
  const int cores = bound_cores();
  options.threads = lg::rank_thread_count(cl.threads, std::getenv("OMP_NUM_THREADS"),
                                          ranks_on_node(comm), cores, lead ? std::cerr : elsewhere);
  if (lead) lg::warn_if_bound(options.threads, cores, std::cerr);
  options.progress = lead && cl.progress;
  options.sweep_data_sets = cl.sweep;
  if (!lead) {
    lg::serve_units(options, comm);
    return 0;
  }
  // Rank 0 alone reads the inputs and prints their echo, all before any data set is computed,
  // exactly as the serial program does, under the lock of the working folder.
  lg::RunLock lock(lg::kRunLockFile);
  const lg::RunPlan plan = lg::plan_run(options, std::cout);
  for (const std::string& w : plan.warnings) std::cerr << "layergreen: warning: " << w << '\n';
  return lg::coordinate_units(plan, options, comm, std::cerr);
}

}  // namespace

int main(int argc, char** argv) {
  int provided = MPI_THREAD_SINGLE;
  MPI_Init_thread(&argc, &argv, MPI_THREAD_FUNNELED, &provided);
  std::ios::sync_with_stdio(false);
  lg::install_interrupt_handlers();
  std::signal(SIGXFSZ, SIG_IGN);  // writes beyond a file-size limit fail and are reported
  int status = 0;
  try {
    status = run_rank(argc, argv, provided);
  } catch (const std::exception& e) {
    lg::abort_run(MPI_COMM_WORLD, std::cerr, lg::failure_text(e));
  }
  std::cout.flush();
  std::cerr.flush();
  MPI_Finalize();
  return status;
}
