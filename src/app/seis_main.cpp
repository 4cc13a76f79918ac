// layergreen-seis: seismograms (SAC files or text columns) from layergreen's result files.
#include <iostream>
#include <string>
#include <vector>

#include "seis/seis_options.h"
#include "seis/seis_run.h"

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  lg::seis::SeisOptions options;
  try {
    options = lg::seis::parse_seis_options(args);
  } catch (const lg::seis::UsageError& e) {
    std::cerr << "layergreen-seis: " << e.what() << '\n' << lg::seis::seis_usage();
    return e.exit_status();
  }
  if (options.help) {
    std::cout << lg::seis::seis_help();
    return 0;
  }
  if (options.version) {
    std::cout << "layergreen-seis " << LAYERGREEN_VERSION << '\n';
    return 0;
  }
  return lg::seis::run_seis(options, std::cerr);
}
