#include "mpi/mpi_options.h"

#include <utility>

#include "run/thread_count.h"

namespace lg {

namespace {

constexpr const char* kUsage =
    "usage: mpirun -np N layergreen-mpi [--threads N] [--sweep N] [--progress] [--help]\n"
    "                                   [--version]\n"
    "       mpirun -np N layergreen-mpi bank CONFIG.toml [--threads N] [--sweep N] [--progress]\n"
    "                                        [--check] [--resume]\n";

constexpr const char* kHelp =
    "usage: mpirun -np N layergreen-mpi [--threads N] [--sweep N] [--progress] [--help]\n"
    "                                   [--version]\n"
    "       mpirun -np N layergreen-mpi bank CONFIG.toml [--threads N] [--sweep N] [--progress]\n"
    "                                        [--check] [--resume]\n"
    "\n"
    "Computes the Green's functions of a layergreen run on the N ranks of an MPI job. Rank 0\n"
    "reads the control, model and subfault files and prints the echo of the inputs; the\n"
    "sweeps of layergreen (consecutive data sets that share the model and the sampling,\n"
    "computed together) are then handed out one at a time to the ranks as they become\n"
    "free, cut into parts when there are fewer sweeps than ranks, and each rank computes\n"
    "its sweeps on its own threads. The result files, the echo, the messages and the exit\n"
    "status are those of layergreen, for every number of ranks, threads and sweep sizes.\n"
    "\n"
    "Run it in the working directory that holds the control file quenta4.ctl; every rank\n"
    "must see that folder (on a cluster, a shared file system).\n"
    "\n"
    "Options:\n"
    "  --threads N   compute the frequencies of a data set on N threads on every rank\n"
    "                (default: the value of OMP_NUM_THREADS, else the hardware threads of\n"
    "                the node shared out among the ranks on that node)\n"
    "  --sweep N     compute at most N consecutive data sets that share the model and the\n"
    "                sampling together (default 64; 1: each data set on its own)\n"
    "  --progress    show a progress line of the whole run on standard error\n"
    "  --help        show this help and exit\n"
    "  --version     show the version and exit\n"
    "\n"
    "layergreen-mpi bank CONFIG.toml computes the bank of layergreen bank (same options, same\n"
    "file): rank 0 keeps the journal and hands the data sets to the other ranks in sweeps\n"
    "of near-equal size (at most --sweep data sets, and as many sweeps as make equal\n"
    "rounds for the ranks), and\n"
    "writes the bank file; with one rank, rank 0 computes them itself.\n"
    "\n"
    "Exit status: 0 on success, 1 when a subfault-file header does not match the control\n"
    "file, 2 on bad input, a result file that cannot be written, or a usage error. A rank\n"
    "that dies ends the whole run with a non-zero status from mpirun.\n";

MpiCommandLine usage_error(std::string what) {
  MpiCommandLine c;
  c.action = MpiCommandLine::Action::kUsageError;
  c.error = std::move(what);
  return c;
}

}  // namespace

const char* mpi_usage() {
  return kUsage;
}
const char* mpi_help() {
  return kHelp;
}

MpiCommandLine parse_mpi_command_line(const std::vector<std::string>& args, bool progress) {
  MpiCommandLine c;
  c.progress = progress;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--help" || arg == "-h") {
      c.action = MpiCommandLine::Action::kHelp;
      return c;
    }
    if (arg == "--version") {
      c.action = MpiCommandLine::Action::kVersion;
      return c;
    }
    if (arg == "--progress") {
      c.progress = true;
      continue;
    }
    if (arg == "--sweep" || arg.rfind("--sweep=", 0) == 0) {
      std::string value;
      if (arg == "--sweep") {
        if (i + 1 >= args.size()) return usage_error("--sweep needs a value");
        value = args[++i];
      } else {
        value = arg.substr(8);
      }
      const std::optional<int> n = parse_thread_count(value);
      if (!n) {
        return usage_error("--sweep takes a whole number from 1 to 1024, not '" + value + "'");
      }
      c.sweep = static_cast<std::size_t>(*n);
      continue;
    }
    if (arg == "--threads" || arg.rfind("--threads=", 0) == 0) {
      std::string value;
      if (arg == "--threads") {
        if (i + 1 >= args.size()) return usage_error("--threads needs a value");
        value = args[++i];
      } else {
        value = arg.substr(10);
      }
      c.threads = parse_thread_count(value);
      if (!c.threads) {
        return usage_error("--threads takes a whole number from 1 to 1024, not '" + value + "'");
      }
      continue;
    }
    return usage_error("unknown option or argument '" + arg + "'");
  }
  return c;
}

}  // namespace lg
