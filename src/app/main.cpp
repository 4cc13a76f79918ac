// layergreen: Green's functions of a layered half-space for the subfaults of a fault.
#include <cstring>
#include <iostream>
#include <string>

#include "driver/run.h"

namespace {

constexpr const char* kUsage = "usage: layergreen [--help] [--version]\n";

constexpr const char* kHelp =
    "usage: layergreen [--help] [--version]\n"
    "\n"
    "Computes frequency-domain Green's functions of a horizontally layered, anelastic\n"
    "half-space for the grid of subfaults of a rectangular fault, at many stations.\n"
    "\n"
    "Run it in the working directory that holds the control file quenta4.ctl. The control\n"
    "file names, through templates, each station's model file and subfault file and the\n"
    "result files, which are written into one existing folder per station. The inputs are\n"
    "echoed on standard output; messages go to standard error.\n"
    "\n"
    "Exit status: 0 on success, 1 when a subfault-file header does not match the control\n"
    "file, 2 on bad input, a result file that cannot be written, or a usage error.\n"
    "\n"
    "Options:\n"
    "  --help      show this help and exit\n"
    "  --version   show the version and exit\n";

}  // namespace

int main(int argc, char** argv) {
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
    std::cerr << "layergreen: unknown option or argument '" << arg << "'\n" << kUsage;
    return 2;
  }
  std::ios::sync_with_stdio(false);
  return lg::run(lg::RunOptions{}, std::cout, std::cerr);
}
