// The choice of the kernel's lane-parallel instruction set: asks the processor once, reads and
// writes nothing else.
#include "kernel/lanes.h"

namespace lg {

Lanes best_lanes() {
#if LG_AVX2_LANES
  static const Lanes best = __builtin_cpu_supports("avx2") ? Lanes::avx2 : Lanes::scalar;
  return best;
#else
  return Lanes::scalar;
#endif
}

}  // namespace lg
