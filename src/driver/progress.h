// A progress line on the error stream for long runs: station, data set, frequencies done and
// an estimate of the time left, rewritten in place at most a few times a second.
#pragma once

#include <chrono>
#include <ostream>
#include <string>

namespace lg {

class Progress {
 public:
  // Prints nothing unless `enabled`.
  Progress(std::ostream& err, bool enabled, std::string station, int data_set, int data_sets,
           int frequencies);
  // `done` frequencies of the data set are finished.
  void update(int done);
  // Ends the line, if one was printed.
  void finish();

 private:
  std::ostream& err_;
  bool enabled_;
  std::string label_;
  int total_;
  bool shown_ = false;
  std::size_t width_ = 0;
  std::chrono::steady_clock::time_point start_;
  std::chrono::steady_clock::time_point last_;
};

}  // namespace lg
