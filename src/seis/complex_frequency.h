// The complex angular frequencies of a result file: bin k is 2*pi*k/TL + i*wI, with the
// damping wI = -pi*AW/TL.
#pragma once

#include <complex>
#include <numbers>

namespace lg::seis {

// Imaginary part of every angular frequency of a run (negative for AW > 0).
inline double damping(double tl, double aw) {
  return -std::numbers::pi * aw / tl;
}

inline std::complex<double> complex_omega(int k, double tl, double aw) {
  return {2.0 * std::numbers::pi * k / tl, damping(tl, aw)};
}

}  // namespace lg::seis
