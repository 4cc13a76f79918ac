// The progress line of a run on the error stream: data sets complete out of all, the data set
// in progress with its frequencies done, and an estimate of the time left for the whole run,
// rewritten in place at most a few times a second.
#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "inputs/data_set_job.h"

namespace lg {

// ", about 12 s left" (or minutes) for `done` of `total` items finished in `elapsed` seconds;
// empty when nothing or everything is done.
std::string time_left(double elapsed, long long done, long long total);

// Rewrites the current terminal line of err with `line`, blanking what a longer previous line
// (of `width` characters) left; width becomes the new line's length.
void rewrite_line(std::ostream& err, std::string line, std::size_t& width);

class Progress {
 public:
  using Clock = std::function<std::chrono::steady_clock::time_point()>;

  // Prints nothing unless `enabled`. The time left is estimated from the work of the jobs,
  // taken as receivers times wavenumber steps (IKMAX + 1) times frequencies per data set.
  Progress(std::ostream& err, bool enabled, const std::vector<DataSetJob>& jobs,
           Clock clock = std::chrono::steady_clock::now);
  ~Progress();
  Progress(const Progress&) = delete;
  Progress& operator=(const Progress&) = delete;

  // Jobs first ... first+count-1 (of the jobs given) start, computed together.
  void start(std::size_t first, std::size_t count = 1);
  // `done` frequencies of the jobs in progress are finished.
  void update(int done);
  // Erases the line so that other text can be printed; the next update draws it again.
  void clear();
  // The jobs in progress are complete.
  void complete();
  // Shows the final count when every job is complete and ends the line; once.
  void finish();

 private:
  struct Job {
    std::string label;  // "station OSK, data set 2/2"
    std::string station;
    int data_set;
    std::string of;  // data sets per station
    int frequencies;
    long long work_per_frequency;
  };
  void draw(int done, bool force);

  std::ostream& err_;
  bool enabled_;
  Clock clock_;
  std::vector<Job> jobs_;
  long long total_work_ = 0;
  long long work_done_ = 0;  // of the complete jobs
  std::size_t complete_ = 0;
  std::size_t current_ = 0;  // the first job in progress
  std::size_t count_ = 0;    // and how many
  std::string label_;        // what the line calls them
  int frequencies_ = 0;
  long long work_per_frequency_ = 0;
  bool shown_ = false;
  bool finished_ = false;
  std::size_t width_ = 0;
  std::chrono::steady_clock::time_point start_;
  std::chrono::steady_clock::time_point last_;
};

}  // namespace lg
