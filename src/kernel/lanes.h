// The instruction sets the kernel's lane-parallel paths can run on, and the choice made at
// run time. Every lane of a lane-parallel path does the IEEE operations of the scalar path in
// the same order (branches become selects computed from the same comparisons), so each path
// gives the same bits.
#pragma once

namespace lg {

enum class Lanes { scalar, avx2 };

// AVX2 where the processor has it, else scalar.
Lanes best_lanes();

}  // namespace lg
