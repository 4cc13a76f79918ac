// Clenshaw summation of a Chebyshev series held as a segment of a coefficient table.
#pragma once

#include <span>

namespace lg {

// Sums the series whose coefficients are stored from the highest order down to order 0
// (the last entry is the constant term), at t = 2u: returns sum c_m T_m(u) with c_0 halved.
inline double chebyshev_sum(std::span<const double> a, double t) {
  double b0 = 0.0;
  double b1 = 0.0;
  double b2 = 0.0;
  for (const double c : a) {
    b2 = b1;
    b1 = b0;
    b0 = t * b1 - b2 + c;
  }
  return (b0 - b2) * 0.5;
}

}  // namespace lg
