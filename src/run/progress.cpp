#include "run/progress.h"

#include <algorithm>
#include <cstdio>
#include <utility>

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

namespace {

std::string trimmed_code(std::string s) {
  while (!s.empty() && s.back() == ' ') s.pop_back();
  return s;
}

std::string label(const ProgressItem& i) {
  return "station " + i.station + ", " + i.kind + " " + std::to_string(i.number) + "/" + i.of;
}

std::vector<ProgressItem> job_items(const std::vector<DataSetJob>& jobs) {
  std::vector<ProgressItem> items;
  for (const DataSetJob& j : jobs) {
    const long long per_frequency = static_cast<long long>(std::max<std::size_t>(j.x.size(), 1)) *
                                    (std::max(j.header.params.IKMAX, 0) + 1LL);
    items.push_back({trimmed_code(j.station), "data set", j.data_set,
                     std::to_string(j.header.ndatas), std::max(j.header.params.NFREQ, 0),
                     per_frequency});
  }
  return items;
}

}  // namespace

Progress::Progress(std::ostream& err, bool enabled, std::vector<ProgressItem> items,
                   std::string whole, Clock clock)
    : err_(err),
      enabled_(enabled && !items.empty()),
      whole_(std::move(whole)),
      clock_(std::move(clock)),
      items_(std::move(items)) {
  for (const ProgressItem& i : items_) total_work_ += i.work_per_frequency * i.frequencies;
  start_ = last_ = clock_();
}

Progress::Progress(std::ostream& err, bool enabled, const std::vector<DataSetJob>& jobs,
                   Clock clock)
    : Progress(err, enabled, job_items(jobs), "the run", std::move(clock)) {}

Progress::~Progress() {
  if (shown_) err_ << '\n' << std::flush;
}

void Progress::start(std::size_t first, std::size_t count) {
  current_ = first;
  count_ = first < items_.size() ? std::min(count, items_.size() - first) : 0;
  if (count_ == 0) return;
  const ProgressItem& j = items_[first];
  label_ = label(j);
  if (count_ > 1) {
    // "station OSK, data sets 1-3/20", or a list of labels when the stations differ.
    const ProgressItem& last = items_[first + count_ - 1];
    label_ = j.station == last.station
                 ? "station " + j.station + ", " + j.kind + "s " + std::to_string(j.number) + "-" +
                       std::to_string(last.number) + "/" + j.of
                 : std::to_string(count_) + " " + j.kind + "s from " + label(j);
  }
  frequencies_ = 0;
  work_per_frequency_ = 0;
  for (std::size_t i = first; i < first + count_; ++i) {
    frequencies_ = std::max(frequencies_, items_[i].frequencies);
    work_per_frequency_ += items_[i].work_per_frequency;
  }
  if (enabled_) draw(0, !shown_);
}

void Progress::update(int done) {
  if (!enabled_ || count_ == 0) return;
  draw(done, done >= frequencies_ && !shown_);
}

void Progress::draw(int done, bool force) {
  const auto now = clock_();
  if (!force && shown_ && done < frequencies_ && now - last_ < std::chrono::milliseconds(400)) {
    return;
  }
  last_ = now;
  const double elapsed = std::chrono::duration<double>(now - start_).count();
  const long long work = work_done_ + work_per_frequency_ * done;
  std::string left = time_left(elapsed, work, total_work_);
  if (!left.empty()) left += " for " + whole_;
  rewrite_line(err_,
               "layergreen: " + std::to_string(complete_) + "/" + std::to_string(items_.size()) +
                   " data sets complete; " + label_ + ": " + std::to_string(done) + "/" +
                   std::to_string(frequencies_) + " frequencies" + left,
               width_);
  shown_ = true;
}

void Progress::clear() {
  if (!shown_) return;
  err_ << '\r' << std::string(width_, ' ') << '\r' << std::flush;
  shown_ = false;
  width_ = 0;
}

void Progress::complete() {
  for (std::size_t i = current_; i < current_ + count_; ++i) {
    work_done_ += items_[i].work_per_frequency * items_[i].frequencies;
  }
  complete_ += count_;
  count_ = 0;
}

void Progress::complete_items(std::size_t first, std::size_t count) {
  for (std::size_t i = first; i < first + count && i < items_.size(); ++i) {
    work_done_ += items_[i].work_per_frequency * items_[i].frequencies;
    ++complete_;
  }
}

void Progress::show_on_ranks(int ranks) {
  if (!enabled_) return;
  ranks_ = " on " + std::to_string(ranks) + (ranks == 1 ? " rank" : " ranks");
  const auto now = clock_();
  // The estimate changes only with the count, so a shown line is redrawn only for a new
  // count, and then at most every 400 ms unless every item is complete.
  if (shown_) {
    if (complete_ == shown_complete_) return;
    if (complete_ < items_.size() && now - last_ < std::chrono::milliseconds(400)) return;
  }
  last_ = now;
  shown_complete_ = complete_;
  const double elapsed = std::chrono::duration<double>(now - start_).count();
  rewrite_line(err_,
               "layergreen: " + std::to_string(complete_) + "/" + std::to_string(items_.size()) +
                   " data sets complete" + ranks_ + time_left(elapsed, work_done_, total_work_),
               width_);
  shown_ = true;
}

void Progress::finish() {
  if (finished_) return;
  finished_ = true;
  if (enabled_ && complete_ == items_.size()) {
    const double elapsed = std::chrono::duration<double>(clock_() - start_).count();
    char took[48];
    std::snprintf(took, sizeof took, " in %.0f s", elapsed);
    rewrite_line(err_,
                 "layergreen: " + std::to_string(complete_) + "/" + std::to_string(items_.size()) +
                     " data sets complete" + ranks_ + took,
                 width_);
    shown_ = true;
  }
  if (shown_) err_ << '\n' << std::flush;
  shown_ = false;
}

}  // namespace lg
