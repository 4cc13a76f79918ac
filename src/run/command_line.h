// The command line of layergreen and layergreen-mpi: subcommands (`run`, the default; `bank
// CONFIG.toml`; `forward BANK.h5 SLIP_MODEL -o DIR`, layergreen only; `help [TOPIC]`), each with
// its options declared once and read by the same rules everywhere: `--opt value` and `--opt=value`,
// `-h`/`--help` per subcommand (exit 0), and one usage-error message per kind of mistake.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "common/run_options.h"

namespace lg {

// Which program reads the command line: their subcommands and texts differ a little (the MPI
// program has no classic --check, and its help speaks of ranks).
enum class Program { kSerial, kMpi };

struct CommandLine {
  enum class Action { kRun, kHelp, kVersion, kUsageError };
  Action action = Action::kRun;
  std::string command =
      "run";  // "run", "bank" or "forward"; for kHelp, the topic ("" for the program)
  std::optional<int> threads;             // the --threads value, if given
  std::size_t sweep = kMaxSweepDataSets;  // --sweep, else the command's default
  bool progress = false;
  bool check = false;
  bool resume = false;      // bank
  bool update = false;      // bank: add the new stations to a finished bank
  bool strict = false;      // bank: refuse a bank that breaks a sampling rule
  std::string verify;       // bank: --verify FILE
  std::string config;       // bank: the TOML file
  std::string classic_dir;  // bank: --classic DIR
  // forward: BANK.h5 and SLIP_MODEL, -o DIR, --source, --lowpass (as given), --components
  std::vector<std::string> inputs;
  std::string output_dir;
  std::string source = "triangle";
  std::string lowpass;
  std::string components = "zne";
  std::string error;  // for kUsageError: what is wrong (without the program prefix)
};

// Reads the arguments (without the program name). `progress` is the default of --progress
// (a terminal on standard error).
CommandLine parse_command_line(const std::vector<std::string>& args, bool progress,
                               Program program = Program::kSerial);

// The usage lines (for usage errors) and the help of a topic: "" (the program), "run",
// "bank", "forward", "exit-status"; nothing for an unknown topic.
const char* usage_text(Program program);
std::optional<std::string> help_text(const std::string& topic, Program program);

}  // namespace lg
