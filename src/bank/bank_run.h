// `layergreen bank`: reads a bank configuration, plans the data sets, computes the ones not
// yet in the resume journal, and writes the bank file from the journal under a temporary name
// that is renamed when complete.
#pragma once

#include <ostream>
#include <string>

namespace lg {

struct BankOptions {
  std::string config;       // the TOML file
  int threads = 1;          // worker threads for the frequencies of a data set
  bool progress = false;    // a progress line for the whole bank on the error stream
  bool check = false;       // validate and print the plan only
  bool resume = false;      // continue from the journal of an unfinished run
  std::string classic_dir;  // write the equivalent classic inputs there instead
};

// Runs the bank; the plan goes to out, messages to err. Returns 0 on success, 2 on bad
// configuration or a file that cannot be written. Throws Interrupted on SIGINT or SIGTERM
// (finished data sets stay in the journal).
int run_bank(const BankOptions& options, std::ostream& out, std::ostream& err);

}  // namespace lg
