// The exit statuses of the programs, and the one base of the errors they report: a message
// (one line, fit for standard error) and the exit status the program ends with because of it.
#pragma once

#include <stdexcept>
#include <string>

namespace lg {

// Every file computed and written (--check: no problem and no warning).
inline constexpr int kExitOk = 0;
// A subfault-file header that does not match the control file: the data sets before it are
// written.
inline constexpr int kExitHeaderMismatch = 1;
// --check: warnings only.
inline constexpr int kExitWarnings = 1;
// Bad input, a file that cannot be read or written, another run in the same folder, memory
// or threads running out.
inline constexpr int kExitInputError = 2;
// A command line that cannot be used.
inline constexpr int kExitUsage = 2;

class Error : public std::runtime_error {
 public:
  explicit Error(const std::string& what, int exit_status = kExitInputError)
      : std::runtime_error(what), exit_status_(exit_status) {}

  int exit_status() const { return exit_status_; }

 private:
  int exit_status_;
};

}  // namespace lg
