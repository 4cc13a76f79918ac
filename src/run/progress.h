// A progress line on the error stream for long runs: station, data set, frequencies done and
// an estimate of the time left, rewritten in place at most a few times a second.
#pragma once

#include <chrono>
#include <ostream>
#include <string>

namespace lg {

// ", about 12 s left" (or minutes) for `done` of `total` items finished in `elapsed` seconds;
// empty when nothing or everything is done.
std::string time_left(double elapsed, long long done, long long total);

// Rewrites the current terminal line of err with `line`, blanking what a longer previous line
// (of `width` characters) left; width becomes the new line's length.
void rewrite_line(std::ostream& err, std::string line, std::size_t& width);

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
