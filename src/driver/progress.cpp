#include "driver/progress.h"

#include <cstdio>

namespace lg {

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
  std::string line = "layergreen: " + label_ + std::to_string(done) + "/" + std::to_string(total_) +
                     " frequencies";
  if (done > 0 && done < total_) {
    const double left = elapsed / done * (total_ - done);
    char buf[64];
    if (left >= 120) {
      std::snprintf(buf, sizeof buf, ", about %.0f min left", left / 60);
    } else {
      std::snprintf(buf, sizeof buf, ", about %.0f s left", left);
    }
    line += buf;
  }
  const std::size_t width = line.size();
  if (width < width_) line.append(width_ - width, ' ');
  width_ = width;
  err_ << '\r' << line << std::flush;
  shown_ = true;
}

void Progress::finish() {
  if (shown_) err_ << '\n' << std::flush;
  shown_ = false;
}

}  // namespace lg
