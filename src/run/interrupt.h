// Interruption by SIGINT or SIGTERM: the handler only records the signal; the frequency loop
// notices it between frequencies and unwinds, so that the temporary result files of the data
// set are removed before the program ends with the conventional status.
#pragma once

#include "common/error.h"

namespace lg {

// Thrown where the run notices a recorded signal; it unwinds the run, whose temporaries are
// removed on the way, up to the program, which ends by die_of. Its exit status is the one a
// shell reports for a process that the signal ended.
class Interrupted : public Error {
 public:
  explicit Interrupted(int sig) : Error("interrupted", 128 + sig), signal_(sig) {}
  int signal_number() const { return signal_; }

 private:
  int signal_;
};

// Installs the handlers for SIGINT and SIGTERM.
void install_interrupt_handlers();

// The signal recorded so far, or 0.
int pending_interrupt();

// Throws Interrupted when a signal has been recorded.
void check_interrupt();

// Ends the process as the signal would have: default action restored, signal raised again.
[[noreturn]] void die_of(int sig);

}  // namespace lg
