// The pressure of a bank's stations in the water ([bank] quantities with "pressure"): the
// checks of such a bank, and its data sets computed one at a time on the path that gives the
// pressure besides the displacement.
#pragma once

#include <functional>
#include <vector>

#include "bank/bank_config.h"
#include "bank/bank_journal.h"
#include "bank/bank_plan.h"

namespace lg {

struct BankSetup;

// The depth of the sea floor: the thickness of the fluid layers (vs = 0) at the top (0 for a
// solid model).
double sea_floor_depth(const std::vector<LayerRow>& layers);

// The checks of [bank] quantities with "pressure": fluid layers at the top, the moment tensor
// alone (no forces). (Station depths are checked as the stations are read.) Throws BankError.
void check_pressure(const BankConfig& c);

// Computes the records of the data sets `indices` (of plan.data_sets) of a bank with the
// pressure, in the order of `indices`. A station strictly in the water gets its displacement,
// pressure and step counts from one computation with the pressure; a station at the sea floor
// gets its displacement and step counts from `sweep` (the solid's surface, as in a bank
// without pressure) and the pressure of the water just above the floor from a second one.
// `sweep` computes the displacement records of a list of data sets together; `on_frequency`
// gets the frequencies done, scaled to one pass over the frequencies.
using RecordSweep = std::function<std::vector<JournalRecord>(
    const std::vector<int>& indices, const std::function<void(int)>& on_frequency)>;
std::vector<JournalRecord> compute_with_pressure(const BankSetup& s,
                                                 const std::vector<int>& indices, int threads,
                                                 const std::function<void(int)>& on_frequency,
                                                 const RecordSweep& sweep);

}  // namespace lg
