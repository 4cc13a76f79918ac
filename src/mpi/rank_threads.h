// How many threads each rank computes with: --threads wins, then OMP_NUM_THREADS, as for
// layergreen; without either, the node's hardware threads are shared out among the ranks
// placed on that node, and a rank never takes more than the cores it is bound to, so that
// several ranks on one node do not oversubscribe it.
#pragma once

#include <optional>
#include <ostream>

namespace lg {

// `option` is the --threads value if one was given, `omp` the value of OMP_NUM_THREADS (null
// when unset), `ranks_on_node` the number of ranks sharing this rank's node, `bound_cores`
// the number of cores this rank may run on (0 when unknown). A warning about an unusable
// OMP_NUM_THREADS goes to err.
int rank_thread_count(std::optional<int> option, const char* omp, int ranks_on_node,
                      int bound_cores, std::ostream& err);

// A warning on err when a rank is to run more threads than it has cores: mpirun binds each
// rank to one core unless told otherwise, and the threads would then share that core.
void warn_if_bound(int threads, int bound_cores, std::ostream& err);

}  // namespace lg
