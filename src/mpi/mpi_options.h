// The command line of layergreen-mpi: the options of layergreen (--threads N, --sweep N,
// --progress, --help, --version), read the same way and with the same messages.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "run/run.h"

namespace lg {

struct MpiCommandLine {
  enum class Action { kRun, kHelp, kVersion, kUsageError };
  Action action = Action::kRun;
  std::optional<int> threads;             // the --threads value, if given
  std::size_t sweep = kMaxSweepDataSets;  // the --sweep value
  bool progress = false;
  std::string error;  // for kUsageError: what is wrong (without the program prefix)
};

// Reads the arguments (without the program name). `progress` is the default of --progress.
MpiCommandLine parse_mpi_command_line(const std::vector<std::string>& args, bool progress);

// The usage line, and the text of --help.
const char* mpi_usage();
const char* mpi_help();

}  // namespace lg
