#include "run/unit_schedule.h"

#include <stdexcept>

namespace lg {

UnitSchedule::UnitSchedule(const std::vector<std::size_t>& data_sets) : units_(data_sets.size()) {
  for (std::size_t i = 0; i < data_sets.size(); ++i) {
    units_[i].data_sets = data_sets[i];
    total_ += data_sets[i];
  }
}

std::optional<std::size_t> UnitSchedule::next() {
  if (failed_ || next_ >= units_.size()) return std::nullopt;
  units_[next_].state = State::kOut;
  ++out_;
  return next_++;
}

void UnitSchedule::record(const UnitReport& report) {
  if (!report.unit || *report.unit >= units_.size() || units_[*report.unit].state != State::kOut) {
    throw std::logic_error("report of a unit that was not handed out");
  }
  Unit& u = units_[*report.unit];
  --out_;
  u.warnings = report.warnings;
  if (report.failed) {
    u.state = State::kFailed;
    u.error = report.error;
    failed_ = true;
  } else {
    u.state = State::kComplete;
    complete_ += u.data_sets;
  }
}

bool UnitSchedule::finished() const {
  return out_ == 0 && (failed_ || next_ >= units_.size());
}

std::string UnitSchedule::take_printable() {
  std::string text;
  while (printed_ < units_.size() && units_[printed_].state == State::kComplete) {
    Unit& u = units_[printed_++];
    text += u.warnings;
    u.state = State::kPrinted;
  }
  return text;
}

std::string UnitSchedule::take_rest() {
  if (!finished()) throw std::logic_error("the rest of the text taken before the run finished");
  std::string text;
  for (std::size_t i = printed_; i < units_.size(); ++i) {
    Unit& u = units_[i];
    if (u.state == State::kComplete || u.state == State::kFailed) text += u.warnings;
    if (u.state == State::kComplete) u.state = State::kPrinted;
    u.warnings.clear();
  }
  printed_ = units_.size();
  return text;
}

std::optional<std::string> UnitSchedule::failure() const {
  for (const Unit& u : units_) {
    if (u.state == State::kFailed) return u.error;
  }
  return std::nullopt;
}

}  // namespace lg
