#include "mpi/mpi_options.h"

namespace lg {

const char* mpi_usage() {
  return usage_text(Program::kMpi);
}

std::string mpi_help() {
  return *help_text("", Program::kMpi);
}

MpiCommandLine parse_mpi_command_line(const std::vector<std::string>& args, bool progress) {
  return parse_command_line(args, progress, Program::kMpi);
}

}  // namespace lg
