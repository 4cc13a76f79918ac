#include "mpi/rank_threads.h"

#include <algorithm>
#include <sstream>

#include "run/thread_count.h"

namespace lg {

int rank_thread_count(std::optional<int> option, const char* omp, int ranks_on_node,
                      int bound_cores, std::ostream& err) {
  std::ostringstream warning;
  const int n = choose_thread_count(option, omp, warning);
  err << warning.str();
  // choose_thread_count warns exactly when it ignores OMP_NUM_THREADS.
  const bool every_hardware_thread = !option && (omp == nullptr || !warning.str().empty());
  if (!every_hardware_thread) return n;
  int share = n / std::max(1, ranks_on_node);
  if (bound_cores > 0) share = std::min(share, bound_cores);
  return std::max(1, share);
}

void warn_if_bound(int threads, int bound_cores, std::ostream& err) {
  if (bound_cores <= 0 || threads <= bound_cores) return;
  err << "layergreen: warning: " << threads << " threads per rank, but rank 0 may run on only "
      << bound_cores << (bound_cores == 1 ? " core" : " cores")
      << "; start mpirun with --bind-to none or --map-by slot:PE=" << threads << '\n';
}

}  // namespace lg
