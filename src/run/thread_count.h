// How many worker threads a run uses: --threads wins, then OMP_NUM_THREADS, then every
// hardware thread.
#pragma once

#include <optional>
#include <ostream>
#include <string>

namespace lg {

// A --threads value: a whole number from 1 to 1024; nothing for anything else.
std::optional<int> parse_thread_count(const std::string& text);

// The thread count for a run. `option` is the --threads value if one was given; `omp` the
// value of OMP_NUM_THREADS (null when unset). An unusable OMP_NUM_THREADS is ignored with a
// warning on err; for a list such as "4,2" the first entry counts.
int choose_thread_count(std::optional<int> option, const char* omp, std::ostream& err);

}  // namespace lg
