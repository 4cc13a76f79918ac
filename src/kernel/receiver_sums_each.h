// The moment tensor's receiver sums of receivers that belong to different data sets (a
// sweep's data sets of one source, their receivers end to end): as add_receiver_sums, but
// only for the receivers still summing, and with the outcome of the convergence test of each
// receiver, so that each data set can be judged by its own receivers.
#pragma once

#include <cstdint>

#include "kernel/lanes.h"
#include "kernel/receiver_sums.h"
#include "kernel/records.h"

namespace lg {

// Adds the increments of the receivers first ... last (at one depth, sharing d) whose `live`
// entry is all ones (~0; 0 leaves a receiver untouched) to their sums, by the operations of
// add_receiver_sums. With `test`, sets ok[ir] to ~0 when every increment of receiver ir is
// small against its sum and to 0 when not; without it, leaves ok as it is. live and ok are
// indexed by receiver, as the sums.
void add_receiver_sums_each(int first, int last, const BesselFactors& b, const DepthTerms& d,
                            const SourceLayerTerms& s, double uconv, bool test,
                            const std::uint64_t* live, std::uint64_t* ok, WavenumberSums& sums,
                            Lanes lanes);

}  // namespace lg
