// Wave amplitudes at the top of one receiver's layer for the four P-SV and two SH source
// cases: what the propagation half of the last kernel stage hands to the receiver sums.
#pragma once

#include "kernel/complex.h"

namespace lg {

// Of one frequency (C = Cx), or of four in lanes.
template <class C>
struct ReceiverWaveValues {
  // pu[j][t], pd[j][t]: upgoing / downgoing amplitude of wave type j (1 = P, 2 = SV) for P-SV
  // case t (1..4); push[s], pdsh[s]: SH case s (1..2). Index 0 unused.
  C pu[3][5];
  C pd[3][5];
  C push[3];
  C pdsh[3];
};

using ReceiverWaves = ReceiverWaveValues<Cx>;

}  // namespace lg
