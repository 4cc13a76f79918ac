// Wave amplitudes at the top of one receiver's layer for the four P-SV and two SH source
// cases: what the propagation half of the last kernel stage hands to the receiver sums.
#pragma once

#include "kernel/complex.h"

namespace lg {

struct ReceiverWaves {
  // pu[j][t], pd[j][t]: upgoing / downgoing amplitude of wave type j (1 = P, 2 = SV) for P-SV
  // case t (1..4); push[s], pdsh[s]: SH case s (1..2). Index 0 unused.
  Cx pu[3][5];
  Cx pd[3][5];
  Cx push[3];
  Cx pdsh[3];
};

}  // namespace lg
