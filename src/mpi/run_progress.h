// The progress line of a run on several ranks: data sets complete out of all, on how many
// ranks, and an estimate of the time left, rewritten in place at most a few times a second.
#pragma once

#include <chrono>
#include <cstddef>
#include <ostream>
#include <string>

namespace lg {

class RunProgress {
 public:
  // Prints nothing unless `enabled`.
  RunProgress(std::ostream& err, bool enabled, std::size_t units, int ranks);
  // `done` units are complete.
  void update(std::size_t done);
  // Erases the line so that other text can be printed; the next update draws it again.
  void clear();
  // Ends the line, if one is shown.
  void finish();

 private:
  std::ostream& err_;
  bool enabled_;
  std::size_t total_;
  std::string suffix_;
  bool shown_ = false;
  std::size_t width_ = 0;
  std::size_t last_done_ = 0;
  std::chrono::steady_clock::time_point start_;
  std::chrono::steady_clock::time_point last_;
};

}  // namespace lg
