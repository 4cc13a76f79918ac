// The classic input files equivalent to a bank: a control file quenta4.ctl, one model file
// and one subfault file per station (the subfault lines holding the station's offsets from
// each subfault), and the result folders, so that a classic run in that folder computes the
// bank's data sets. Only where the classic limits allow.
#pragma once

#include <string>

#include "bank/bank_config.h"
#include "bank/bank_plan.h"

namespace lg {

// Writes the files into `dir` (created when missing) and returns the station codes' table
// as text (also written as dir/stations.txt). Throws BankError when the classic limits or
// formats cannot hold the bank, Error when a file cannot be written.
std::string write_classic_inputs(const BankConfig& c, const BankPlan& p, const std::string& dir);

}  // namespace lg
