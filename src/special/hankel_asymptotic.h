// The large-argument (x > 8) form shared by the Bessel routines of order 0 and 1: amplitude
// and phase corrections as Chebyshev series in (8/x)^2 around sqrt(2/(pi x)) cos(x - phase).
#pragma once

#include <cmath>
#include <span>

#include "special/chebyshev.h"

namespace lg {

struct BesselPair {
  double j;  // first kind
  double y;  // second kind
};

// y8 = 8/x; p and q are the amplitude and phase-correction series; phase is pi/4 for order 0
// and 3pi/4 for order 1.
inline BesselPair hankel_asymptotic(double x, double y8, std::span<const double> p_series,
                                    std::span<const double> q_series, double phase) {
  const double t = (y8 * 4.0) * y8 - 2.0;
  const double p = chebyshev_sum(p_series, t);
  const double q = chebyshev_sum(q_series, t) * y8;
  const double c = std::cos(x - phase);
  const double s = std::sin(x - phase);
  const double w = 0.7978845608028654 / std::sqrt(x);  // sqrt(2/pi) / sqrt(x)
  return BesselPair{(p * c - q * s) * w, (q * c + p * s) * w};
}

}  // namespace lg
