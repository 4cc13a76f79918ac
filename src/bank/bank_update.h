// Growing a bank: `layergreen bank CONFIG.toml --update` on a finished bank (or on the
// journal of an unfinished run) whose configuration differs from CONFIG.toml only by added
// [[station]] tables. The data sets of the stations it holds are copied into a fresh journal
// and only the new stations' data sets are computed, so that the file written is the one a
// run of the whole configuration writes.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "bank/bank_config.h"
#include "bank/bank_journal.h"
#include "bank/bank_plan.h"
#include "bank/bank_run.h"

namespace lg {

// What keeps a bank of configuration `was` from growing into one of `now`: "" when `now` only
// adds stations, else the differences in words ("[sampling] tl: 10 in the bank, 12 now").
std::string update_difference(const BankConfig& was, const BankPlan& was_plan,
                              const BankConfig& now, const BankPlan& now_plan);

// Opens the journal of an update: continues one of this configuration, or starts one from
// the finished bank or from a journal of the configuration without the new stations, and
// lists the data sets still to compute (as open_journal). `said` gets the line that tells the
// user what was taken over. Returns nothing when the bank holds every station already.
// Throws Error naming what keeps the bank from growing.
std::unique_ptr<JournalWriter> open_update_journal(const BankSetup& s, std::vector<int>& todo,
                                                   std::string& said);

}  // namespace lg
