#include "run/interrupt.h"

#include <atomic>
#include <csignal>
#include <cstdlib>

namespace lg {

namespace {

// The one piece of process-wide mutable state: a signal handler has nowhere else to write.
std::atomic<int> recorded_signal{0};
static_assert(std::atomic<int>::is_always_lock_free);

extern "C" void record_signal(int sig) {
  recorded_signal.store(sig);
}

}  // namespace

void install_interrupt_handlers() {
  struct sigaction sa {};
  sa.sa_handler = record_signal;
  sigemptyset(&sa.sa_mask);
  sa.sa_flags = 0;
  sigaction(SIGINT, &sa, nullptr);
  sigaction(SIGTERM, &sa, nullptr);
}

int pending_interrupt() {
  return recorded_signal.load();
}

void check_interrupt() {
  if (const int sig = recorded_signal.load()) throw Interrupted(sig);
}

void die_of(int sig) {
  std::signal(sig, SIG_DFL);
  std::raise(sig);
  std::_Exit(128 + sig);
}

}  // namespace lg
