// The command line of layergreen-mpi: layergreen's (run/command_line.h), with the MPI
// program's subcommands and texts.
#pragma once

#include <string>
#include <vector>

#include "run/command_line.h"

namespace lg {

using MpiCommandLine = CommandLine;

// Reads the arguments (without the program name). `progress` is the default of --progress.
MpiCommandLine parse_mpi_command_line(const std::vector<std::string>& args, bool progress);

// The usage lines, and the text of --help.
const char* mpi_usage();
std::string mpi_help();

}  // namespace lg
