// `layergreen bank`: reads a bank configuration, plans the data sets, computes the ones not
// yet in the resume journal, and writes the bank file from the journal under a temporary name
// that is renamed when complete. The phases are also used by the ranks of layergreen-mpi.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "bank/bank_config.h"
#include "bank/bank_journal.h"
#include "bank/bank_plan.h"

namespace lg {

struct BankOptions {
  std::string config;       // the TOML file
  int threads = 1;          // worker threads for the frequencies of a data set
  bool progress = false;    // a progress line for the whole bank on the error stream
  bool check = false;       // validate and print the plan only
  bool resume = false;      // continue from the journal of an unfinished run
  std::string classic_dir;  // write the equivalent classic inputs there instead
  std::size_t sweep = 8;    // data sets computed together (one shared sweep)
};

// Reads the arguments after "bank" into o (threads into `threads`, to be resolved by the
// caller); returns a usage error message, empty when all is well.
std::string parse_bank_arguments(const std::vector<std::string>& args, BankOptions& o,
                                 std::optional<int>& threads);

// The configuration and plan of a bank, and the shape of its journal.
struct BankSetup {
  BankConfig config;
  BankPlan plan;
  JournalShape shape;
};

// Reads and plans the bank; on bad input prints one line on err and returns nothing.
std::optional<BankSetup> setup_bank(const std::string& config_path, std::ostream& err);

// Opens the journal (fresh, or resumed with `resume`), clears stale temporaries of the bank
// file, and lists the data sets still to compute (indices into plan.data_sets). Throws
// Error with the message line.
std::unique_ptr<JournalWriter> open_journal(const BankSetup& s, bool resume,
                                            std::vector<int>& todo);

// Computes data sets of the plan (indices into plan.data_sets) in one shared sweep; records
// in the order of `indices`. `on_frequency` gets the number of frequencies done.
std::vector<JournalRecord> compute_data_sets(const BankSetup& s, const std::vector<int>& indices,
                                             int threads,
                                             const std::function<void(int)>& on_frequency);

// Computes data set `index` of the plan. `on_frequency` gets the number of frequencies done.
JournalRecord compute_data_set(const BankSetup& s, int index, int threads,
                               const std::function<void(int)>& on_frequency);

// Writes the bank file from the journal (temporary name, then renamed), with the static
// displacements computed on `threads` threads when the configuration asks for them, and
// removes the journal. Throws Error (Interrupted on a signal).
void finish_bank(const BankSetup& s, int threads);

// The progress line of a whole bank: data sets done of those to compute, time left.
class BankProgress {
 public:
  BankProgress(std::ostream& err, bool enabled, int total);
  // `done` data sets and `fraction` of the next are finished.
  void update(int done, double fraction, const std::string& what);
  void finish();

 private:
  std::ostream& err_;
  bool enabled_;
  int total_;
  bool shown_ = false;
  std::size_t width_ = 0;
  std::chrono::steady_clock::time_point start_, last_;
};

// Runs the bank; the plan goes to out, messages to err. Returns 0 on success, 2 on bad
// configuration or a file that cannot be written. Throws Interrupted on SIGINT or SIGTERM
// (finished data sets stay in the journal).
int run_bank(const BankOptions& options, std::ostream& out, std::ostream& err);

}  // namespace lg
