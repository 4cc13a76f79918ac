// layergreen: Green's functions of a layered half-space for the subfaults of a fault.
#include <unistd.h>

#include <cstdlib>
#include <iostream>
#include <optional>
#include <string>

#include "inputs/check_run.h"
#include "run/interrupt.h"
#include "run/run.h"
#include "run/thread_count.h"

namespace {

constexpr const char* kUsage =
    "usage: layergreen [--threads N] [--sweep N] [--progress] [--check] [--help] [--version]\n";

constexpr const char* kHelp =
    "usage: layergreen [--threads N] [--sweep N] [--progress] [--check] [--help] [--version]\n"
    "\n"
    "Computes frequency-domain Green's functions of a horizontally layered, anelastic\n"
    "half-space for the grid of subfaults of a rectangular fault, at many stations.\n"
    "\n"
    "Run it in the working directory that holds the control file quenta4.ctl. The control\n"
    "file names, through templates, each station's model file and subfault file and the\n"
    "result files, which are written into one existing folder per station. The inputs are\n"
    "echoed on standard output; messages go to standard error.\n"
    "\n"
    "Options:\n"
    "  --threads N   compute the frequencies of a data set on N threads (default: the\n"
    "                value of OMP_NUM_THREADS, else every hardware thread); the results\n"
    "                are the same for every N\n"
    "  --sweep N     compute at most N consecutive data sets that share the model and the\n"
    "                sampling together (default 64; 1: one after the other). The results\n"
    "                are the same for every N; a sweep's files are put in place when all\n"
    "                its data sets are complete\n"
    "  --progress    show a progress line on standard error (shown anyway when standard\n"
    "                error is a terminal)\n"
    "  --check       read and check every input file and report every problem found,\n"
    "                with warnings about sampling (XL, IKMAX) that cannot give good\n"
    "                results; computes and writes nothing. Exit status 0 when all is\n"
    "                well, 1 with warnings only, 2 with problems\n"
    "  --help        show this help and exit\n"
    "  --version     show the version and exit\n"
    "\n"
    "Exit status: 0 on success, 1 when a subfault-file header does not match the control\n"
    "file, 2 on bad input, a result file that cannot be written, or a usage error.\n";

int usage_error(const std::string& what) {
  std::cerr << "layergreen: " << what << '\n' << kUsage;
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  std::optional<int> threads;
  bool progress = ::isatty(STDERR_FILENO) != 0;
  bool check = false;
  std::size_t sweep = lg::kMaxSweepDataSets;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      std::cout << kHelp;
      return 0;
    }
    if (arg == "--version") {
      std::cout << "layergreen " << LAYERGREEN_VERSION << '\n';
      return 0;
    }
    if (arg == "--check") {
      check = true;
      continue;
    }
    if (arg == "--progress") {
      progress = true;
      continue;
    }
    if (arg == "--threads" || arg.rfind("--threads=", 0) == 0) {
      std::string value;
      if (arg == "--threads") {
        if (i + 1 >= argc) return usage_error("--threads needs a value");
        value = argv[++i];
      } else {
        value = arg.substr(10);
      }
      threads = lg::parse_thread_count(value);
      if (!threads) {
        return usage_error("--threads takes a whole number from 1 to 1024, not '" + value + "'");
      }
      continue;
    }
    if (arg == "--sweep" || arg.rfind("--sweep=", 0) == 0) {
      std::string value;
      if (arg == "--sweep") {
        if (i + 1 >= argc) return usage_error("--sweep needs a value");
        value = argv[++i];
      } else {
        value = arg.substr(8);
      }
      const std::optional<int> n = lg::parse_thread_count(value);
      if (!n)
        return usage_error("--sweep takes a whole number from 1 to 1024, not '" + value + "'");
      sweep = static_cast<std::size_t>(*n);
      continue;
    }
    return usage_error("unknown option or argument '" + arg + "'");
  }
  std::ios::sync_with_stdio(false);
  lg::RunOptions options;
  options.threads = lg::choose_thread_count(threads, std::getenv("OMP_NUM_THREADS"), std::cerr);
  options.progress = progress;
  options.sweep_data_sets = sweep;
  if (check) return lg::check_run(options, std::cout, std::cerr);
  lg::install_interrupt_handlers();
  try {
    return lg::run(options, std::cout, std::cerr);
  } catch (const lg::Interrupted& e) {
    // The temporaries of the data set in progress are gone; complete files stay.
    std::cout.flush();
    std::cerr << "layergreen: interrupted; the data set in progress was not written\n";
    lg::die_of(e.signal_number());
  }
}
