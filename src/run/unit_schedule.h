// The bookkeeping of the coordinator: which unit goes out next, what became of each one, and
// which standard-error text can be printed, in the order of the run, as units complete.
//
// Units are handed out one at a time in run order to whichever rank asks first, so that a
// rank that finishes early takes the next unit instead of idling. After the first failed
// unit nothing more is handed out; the units already out are awaited. Not thread-safe: the
// coordinator guards it.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace lg {

// What became of a unit: the standard-error text of its data sets and, when its result files
// could not be written, the error.
struct UnitReport {
  std::optional<std::size_t> unit;  // the unit computed; nothing in a rank's first request
  bool failed = false;              // the result files could not be written
  std::string error;                // what went wrong, when failed (without the program prefix)
  std::string warnings;             // the unit's warning lines, as the run prints them
};

class UnitSchedule {
 public:
  // One unit per entry, holding that many data sets.
  explicit UnitSchedule(const std::vector<std::size_t>& data_sets);

  // The next unit to compute; nothing when all have been handed out or a unit has failed.
  std::optional<std::size_t> next();

  // Records the report of a unit handed out by next(). Throws std::logic_error for a report
  // of a unit that is not out (a fault of the exchange between the ranks).
  void record(const UnitReport& report);

  // Nothing is out and nothing more will be handed out.
  bool finished() const;

  std::size_t units() const { return units_.size(); }
  // Whether unit u is complete (its report recorded, without failure).
  bool is_complete(std::size_t u) const {
    return units_[u].state == State::kComplete || units_[u].state == State::kPrinted;
  }
  // Data sets of all units, and of the units whose result files are complete.
  std::size_t total() const { return total_; }
  std::size_t complete() const { return complete_; }

  // The warnings of the units complete without a gap from the start of the run (or from the
  // last text taken), in run order; each unit's text is returned once.
  std::string take_printable();

  // Once finished: the warnings of every unit not yet returned, in run order (with a failed
  // unit, units after it that were already out may have completed).
  std::string take_rest();

  // The error of the first failed unit in run order, if any unit failed.
  std::optional<std::string> failure() const;

 private:
  enum class State { kWaiting, kOut, kComplete, kFailed, kPrinted };
  struct Unit {
    std::size_t data_sets = 0;
    State state = State::kWaiting;
    std::string warnings;
    std::string error;
  };
  std::vector<Unit> units_;
  std::size_t next_ = 0;     // the first unit never handed out
  std::size_t printed_ = 0;  // units before this one have had their text taken
  std::size_t out_ = 0;
  std::size_t total_ = 0;
  std::size_t complete_ = 0;
  bool failed_ = false;
};

}  // namespace lg
