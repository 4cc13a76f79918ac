// The instruction sets the kernel's lane-parallel paths can run on, and the choice made at
// run time. Every lane of a lane-parallel path does the IEEE operations of the scalar path in
// the same order (branches become selects computed from the same comparisons), so each path
// gives the same bits.
#pragma once

// The lane-parallel paths are compiled for x86-64 only; on other processors every path is the
// scalar one, whatever Lanes value is asked for.
#if defined(__x86_64__)
#define LG_AVX2_LANES 1
#else
#define LG_AVX2_LANES 0
#endif

namespace lg {

enum class Lanes { scalar, avx2 };

// AVX2 where the processor has it, else scalar (always scalar off x86-64).
Lanes best_lanes();

}  // namespace lg
