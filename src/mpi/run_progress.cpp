#include "mpi/run_progress.h"

#include <cstdio>

#include "run/progress.h"

namespace lg {

RunProgress::RunProgress(std::ostream& err, bool enabled, std::size_t units, int ranks)
    : err_(err),
      enabled_(enabled && units > 0),
      total_(units),
      suffix_(" data sets complete on " + std::to_string(ranks) +
              (ranks == 1 ? " rank" : " ranks")),
      start_(std::chrono::steady_clock::now()),
      last_(start_) {}

void RunProgress::update(std::size_t done) {
  if (!enabled_) return;
  const auto now = std::chrono::steady_clock::now();
  // The estimate changes only with the count, so a shown line is redrawn only for a new
  // count, and then at most every 400 ms unless the run is complete.
  if (shown_) {
    if (done == last_done_) return;
    if (done < total_ && now - last_ < std::chrono::milliseconds(400)) return;
  }
  last_ = now;
  last_done_ = done;
  const double elapsed = std::chrono::duration<double>(now - start_).count();
  rewrite_line(err_,
               "layergreen: " + std::to_string(done) + "/" + std::to_string(total_) + suffix_ +
                   time_left(elapsed, done, total_),
               width_);
  shown_ = true;
}

void RunProgress::clear() {
  if (!shown_) return;
  err_ << '\r' << std::string(width_, ' ') << '\r' << std::flush;
  shown_ = false;
  width_ = 0;
}

void RunProgress::finish() {
  if (shown_) err_ << '\n' << std::flush;
  shown_ = false;
}

}  // namespace lg
