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

// One item of work the line counts: a data set (of a classic run, or a station and fault
// row of a bank).
struct ProgressItem {
  std::string station;  // its code or name
  std::string kind;     // "data set" or "row"
  int number = 0;       // from 1
  std::string of;       // how many there are of that kind at the station
  int frequencies = 0;
  long long work_per_frequency = 0;  // receivers x wavenumber steps
};

// The progress line of every run on the error stream, the classic run's, a bank's and those
// of layergreen-mpi: items complete out of all, the items in progress with their frequencies
// done, and an estimate of the time left for the whole, rewritten in place at most a few times
// a second; on several ranks, where only the count of complete items is known, that count.
class Progress {
 public:
  using Clock = std::function<std::chrono::steady_clock::time_point()>;

  // Prints nothing unless `enabled`. The time left is estimated from the work of the items.
  // `whole` names what the time left is for ("the run", "the bank").
  Progress(std::ostream& err, bool enabled, std::vector<ProgressItem> items,
           std::string whole = "the run", Clock clock = std::chrono::steady_clock::now);
  // The data sets of a classic run, their work taken as receivers times wavenumber steps
  // (IKMAX + 1) times frequencies.
  Progress(std::ostream& err, bool enabled, const std::vector<DataSetJob>& jobs,
           Clock clock = std::chrono::steady_clock::now);
  ~Progress();
  Progress(const Progress&) = delete;
  Progress& operator=(const Progress&) = delete;

  // Items first ... first+count-1 (of the items given) start, computed together.
  void start(std::size_t first, std::size_t count = 1);
  // `done` frequencies of the items in progress are finished.
  void update(int done);
  // Erases the line so that other text can be printed; the next update draws it again.
  void clear();
  // The items in progress are complete.
  void complete();
  // On several ranks, where items complete in any order: items first ... first+count-1 are.
  void complete_items(std::size_t first, std::size_t count);
  // Shows the count of complete items on `ranks` ranks and the time left, estimated from the
  // work of the complete items (so that one long data set under way is not overlooked).
  void show_on_ranks(int ranks);
  // Shows the final count when every item is complete and ends the line; once.
  void finish();

 private:
  void draw(int done, bool force);

  std::ostream& err_;
  bool enabled_;
  std::string whole_;
  Clock clock_;
  std::vector<ProgressItem> items_;
  long long total_work_ = 0;
  long long work_done_ = 0;  // of the complete items
  std::size_t complete_ = 0;
  std::size_t current_ = 0;  // the first item in progress
  std::size_t count_ = 0;    // and how many
  std::string label_;        // what the line calls them
  int frequencies_ = 0;
  long long work_per_frequency_ = 0;
  std::string ranks_;               // " on N ranks" when counting the items of several ranks
  std::size_t shown_complete_ = 0;  // the count the line on ranks shows
  bool shown_ = false;
  bool finished_ = false;
  std::size_t width_ = 0;
  std::chrono::steady_clock::time_point start_;
  std::chrono::steady_clock::time_point last_;
};

}  // namespace lg
