// The run driver: reads the control file in the working directory and computes and writes
// the Green's functions of every station and data set.
#pragma once

#include <ostream>
#include <string>

namespace lg {

struct RunOptions {
  std::string control_file = "quenta4.ctl";
  int threads = 1;        // worker threads for the frequencies of a data set
  bool progress = false;  // a progress line on the error stream
};

// Exit status of a run.
inline constexpr int kExitOk = 0;
inline constexpr int kExitHeaderMismatch = 1;
inline constexpr int kExitInputError = 2;

// Performs the run. The echo lines go to out, messages to err. Returns the exit status:
// 0 on success, 1 when a subfault-file header does not match the control file, 2 on bad
// input or a result file that cannot be written.
int run(const RunOptions& options, std::ostream& out, std::ostream& err);

}  // namespace lg
