#include "run/progress.h"

#include <cstdio>

namespace lg {

std::string time_left(double elapsed, long long done, long long total) {
  if (done <= 0 || done >= total) return std::string();
  const double left = elapsed / static_cast<double>(done) * static_cast<double>(total - done);
  char buf[64];
  if (left >= 120) {
    std::snprintf(buf, sizeof buf, ", about %.0f min left", left / 60);
  } else {
    std::snprintf(buf, sizeof buf, ", about %.0f s left", left);
  }
  return buf;
}

void rewrite_line(std::ostream& err, std::string line, std::size_t& width) {
  const std::size_t w = line.size();
  if (w < width) line.append(width - w, ' ');
  width = w;
  err << '\r' << line << std::flush;
}

Progress::Progress(std::ostream& err, bool enabled, std::string station, int data_set,
                   int data_sets, int frequencies)
    : err_(err),
      enabled_(enabled && frequencies > 0),
      label_("station " + station + ", data set " + std::to_string(data_set) + "/" +
             std::to_string(data_sets) + ": "),
      total_(frequencies),
      start_(std::chrono::steady_clock::now()),
      last_(start_) {}

void Progress::update(int done) {
  if (!enabled_) return;
  const auto now = std::chrono::steady_clock::now();
  if (done < total_ && now - last_ < std::chrono::milliseconds(400)) return;
  last_ = now;
  const double elapsed = std::chrono::duration<double>(now - start_).count();
  rewrite_line(err_,
               "layergreen: " + label_ + std::to_string(done) + "/" + std::to_string(total_) +
                   " frequencies" + time_left(elapsed, done, total_),
               width_);
  shown_ = true;
}

void Progress::finish() {
  if (shown_) err_ << '\n' << std::flush;
  shown_ = false;
}

}  // namespace lg
