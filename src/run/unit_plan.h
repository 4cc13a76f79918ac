// The units of work of a run on several ranks: the run's sweeps (see sweep_groups), each
// handed out whole so that its data sets share the layer recursion as in layergreen, and cut
// into consecutive parts only when there are fewer sweeps than ranks. Reads the sweep sizes,
// returns the job ranges.
#pragma once

#include <cstddef>
#include <vector>

namespace lg {

// Jobs first .. first + count - 1 of the run, computed together on one rank.
struct RunUnit {
  std::size_t first = 0;
  std::size_t count = 0;
};

// The units of sweeps of the given sizes (consecutive jobs, in run order) for `ranks` ranks.
// While there are fewer units than ranks, the sweep whose parts are largest (the first of
// them on a tie) is cut into one part more, until every rank has a unit or every part is one
// data set; a sweep cut into p parts gives parts of equal size, the first ones one data set
// larger when the size does not divide. Units come in run order.
std::vector<RunUnit> plan_units(const std::vector<std::size_t>& sweep_sizes, int ranks);

// The sizes of the sweeps that `data_sets` data sets which may all share one sweep (a bank's)
// are cut into, in order, for `ranks` computing ranks: k sweeps of near-equal size (the first
// ones one larger when the size does not divide), k being the fewest that keep each at most
// `sweep`, rounded up to a multiple of `ranks` (at most one sweep per data set), so that the
// ranks finish together.
std::vector<std::size_t> equal_sweeps(std::size_t data_sets, std::size_t sweep, int ranks);

}  // namespace lg
