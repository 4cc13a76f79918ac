// Comparing static displacements in the tests: each station's values relative to its largest.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <vector>

#include "kernel/layout.h"
#include "statics/static_displacements.h"

namespace lg::testing {

// The static displacements of `recs` with the sampling the program chooses for them.
inline std::vector<StaticDisplacement> statics_at(const std::vector<StaticLayer>& layers, double zs,
                                                  const std::vector<StaticReceiver>& recs) {
  return static_displacements(layers, zs, recs, choose_static_sampling(layers, zs, recs));
}

inline double largest(const StaticDisplacement& u) {
  double m = 0.0;
  for (const auto& e : u) {
    for (double v : e) m = std::max(m, std::abs(v));
  }
  return m;
}

// The largest difference of two stations' values, relative to the largest value of the first.
inline double relative_difference(const StaticDisplacement& a, const StaticDisplacement& b) {
  double d = 0.0;
  for (std::size_t e = 0; e < lg::kElements; ++e) {
    for (std::size_t c = 0; c < lg::kComponents; ++c) d = std::max(d, std::abs(a[e][c] - b[e][c]));
  }
  return d / largest(a);
}

}  // namespace lg::testing
