// The command line of layergreen-seis: input files, output folder and format, source time
// function and low-pass.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "common/error.h"
#include "seis/seismograms.h"

namespace lg::seis {

class UsageError : public Error {
 public:
  explicit UsageError(const std::string& what) : Error(what, kExitUsage) {}
};

enum class OutputFormat { kSac, kColumns };

struct SeisOptions {
  std::vector<std::string> files;
  std::optional<std::string> output_dir;  // default: beside each input file
  OutputFormat format = OutputFormat::kSac;
  Processing processing;
  bool help = false;
  bool version = false;
};

// Parses the arguments (without the program name). Throws UsageError with a one-line reason.
SeisOptions parse_seis_options(const std::vector<std::string>& args);

// One line of usage, and the full text of --help.
const char* seis_usage();
const char* seis_help();

}  // namespace lg::seis
