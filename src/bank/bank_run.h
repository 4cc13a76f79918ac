// `layergreen bank`: reads a bank configuration, plans the data sets, computes the ones not
// yet in the resume journal, and writes the bank file from the journal under a temporary name
// that is renamed when complete. The phases are also used by the ranks of layergreen-mpi.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "bank/bank_config.h"
#include "bank/bank_journal.h"
#include "bank/bank_plan.h"
#include "run/command_line.h"
#include "run/progress.h"
#include "run/sums_outcome.h"

namespace lg {

struct BankOptions {
  std::string config;                      // the TOML file
  int threads = 1;                         // worker threads for the frequencies of a data set
  bool progress = false;                   // a progress line for the whole bank on the error stream
  bool check = false;                      // validate and print the plan only
  bool resume = false;                     // continue from the journal of an unfinished run
  bool update = false;                     // add new stations to a finished bank or its journal
  bool strict = false;                     // refuse a bank that breaks a sampling rule
  std::string verify;                      // --verify: the bank file to verify instead
  std::string classic_dir;                 // write the equivalent classic inputs there instead
  std::size_t sweep = kBankSweepDataSets;  // data sets computed together (0: bank_sweep_size)
};

// The lock file beside a bank's output, held by the one run that computes it.
std::string lock_path(const std::string& output);

// The options of a `bank` command line (its --threads value is resolved by the caller).
BankOptions bank_options(const CommandLine& c);

// The configuration and plan of a bank, and the shape of its journal.
struct BankSetup {
  BankConfig config;
  BankPlan plan;
  JournalShape shape;
};

// The shape of the journal of a bank, its key tied to the configuration, the program, the
// sampling and the subfaults.
JournalShape journal_shape(const BankConfig& c, const BankPlan& p);

// Syncs the folder that holds `path` (after a file in it was created or renamed).
void sync_folder_of(const std::string& path);

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

// The most data sets of a sweep: o.sweep when given, else as many as keep the spectra a sweep
// holds until it ends and its Bessel tables (for the bank's largest row) within
// kBankSweepBytes, so that every data set of an ordinary bank shares one sweep.
std::size_t bank_sweep_size(const BankSetup& s, const BankOptions& o);

// Computes the data sets `todo` (indices into plan.data_sets) on this process: in sweeps of
// near-equal size (equal_sweeps of bank_sweep_size), taken in order from the run's unit schedule,
// each appended to the journal when it ends, with the progress line of o.progress on err.
// With `held`, a bank computed in one sweep from nothing is not journalled here: its records
// are moved into *held, for finish_bank.
void compute_in_sweeps(const BankSetup& s, const BankOptions& o, const std::vector<int>& todo,
                       JournalWriter& journal, std::ostream& err,
                       std::vector<JournalRecord>* held = nullptr);

// What the sums of a finished bank met: over the whole, and the data sets that had sums
// unconverged or spectra not finite, by station and row (in station, row order).
struct BankOutcome {
  struct DataSet {
    int station = 0, row = 0;  // from 0
    std::int64_t unconverged = 0, nonfinite = 0;
  };
  SumsOutcome total;
  std::vector<DataSet> marked;
};

// Writes the bank file from the journal (temporary name, then renamed), with the static
// displacements computed on `threads` threads when the configuration asks for them, and
// removes the journal. Returns what the sums of every data set in the bank met (read from the
// journal: a sum that took ikmax + 1 steps ran out unconverged). Throws Error (Interrupted on
// a signal).
// With records `held` by compute_in_sweeps, they are appended to `journal` while the file is
// written from them.
BankOutcome finish_bank(const BankSetup& s, int threads, JournalWriter* journal = nullptr,
                        std::vector<JournalRecord>* held = nullptr);

// The warnings of the sampling rules for the bank, one line each on err ("layergreen:
// warning: CONFIG: sampling: ..."); returns their number.
int warn_sampling(const BankSetup& s, std::ostream& err);

// The warnings about unconverged sums and non-finite spectra of a finished bank, as the
// classic run gives them for its data sets, each with its counts by station and row.
void warn_outcome(const BankSetup& s, const BankOutcome& outcome, std::ostream& err);

// The last line of --progress: the data sets computed by this run (`computed` of all), what
// the sums met, the file's size and the time since `started`.
void summarize_bank(const BankSetup& s, std::size_t computed, const BankOutcome& outcome,
                    std::chrono::steady_clock::time_point started, std::ostream& err);

// The items of the progress line of a bank: the data sets `todo`, each a station and a row.
std::vector<ProgressItem> progress_items(const BankSetup& s, const std::vector<int>& todo);

// Runs the bank; the plan goes to out, messages to err. Returns 0 on success, 2 on bad
// configuration or a file that cannot be written. Throws Interrupted on SIGINT or SIGTERM
// (finished data sets stay in the journal).
int run_bank(const BankOptions& options, std::ostream& out, std::ostream& err);

}  // namespace lg
