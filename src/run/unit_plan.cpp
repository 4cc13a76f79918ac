#include "run/unit_plan.h"

#include <algorithm>

namespace lg {

std::vector<RunUnit> plan_units(const std::vector<std::size_t>& sweep_sizes, int ranks) {
  std::vector<std::size_t> parts(sweep_sizes.size(), 1);
  const std::size_t wanted = ranks > 0 ? static_cast<std::size_t>(ranks) : 1;
  // The largest part of a sweep of n data sets in p parts.
  auto largest = [](std::size_t n, std::size_t p) { return (n + p - 1) / p; };
  for (std::size_t units = sweep_sizes.size(); units < wanted; ++units) {
    std::size_t cut = sweep_sizes.size();
    for (std::size_t g = 0; g < sweep_sizes.size(); ++g) {
      if (sweep_sizes[g] <= parts[g]) continue;  // parts of one data set already
      if (cut == sweep_sizes.size() ||
          largest(sweep_sizes[g], parts[g]) > largest(sweep_sizes[cut], parts[cut])) {
        cut = g;
      }
    }
    if (cut == sweep_sizes.size()) break;
    ++parts[cut];
  }
  std::vector<RunUnit> units;
  std::size_t first = 0;
  for (std::size_t g = 0; g < sweep_sizes.size(); ++g) {
    const std::size_t n = sweep_sizes[g], p = parts[g];
    for (std::size_t k = 0; k < p; ++k) {
      const std::size_t count = n / p + (k < n % p ? 1 : 0);
      if (count == 0) continue;
      units.push_back(RunUnit{first, count});
      first += count;
    }
  }
  return units;
}

std::vector<std::size_t> equal_sweeps(std::size_t data_sets, std::size_t sweep, int ranks) {
  if (data_sets == 0) return {};
  const std::size_t per = std::max<std::size_t>(sweep, 1);
  const std::size_t r = static_cast<std::size_t>(std::max(ranks, 1));
  std::size_t k = (data_sets + per - 1) / per;
  k = std::min(data_sets, (k + r - 1) / r * r);
  std::vector<std::size_t> sizes;
  for (std::size_t i = 0; i < k; ++i) sizes.push_back(data_sets / k + (i < data_sets % k ? 1 : 0));
  return sizes;
}

}  // namespace lg
