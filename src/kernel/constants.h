// The constants of the method, defined once for the kernel and the input checks alike.
#pragma once

#include <cmath>

#include "kernel/complex.h"

namespace lg {

// Pi and 2 pi to twelve significant digits. The results depend on these exact values (the
// damping -pi*AW/TL, the angular frequencies and the wavenumber step 2 pi/XL all carry them
// into every printed digit), so the full-precision constants must not replace them.
inline constexpr double kPi = 3.14159265359;
inline constexpr double kTwoPi = 6.28318530718;

inline constexpr Cx kI{0.0, 1.0};

// Pi to full double precision, for what the classic results do not depend on (the constant-Q
// law of banks and the Python module, whose reference frequency is a true 2 pi f).
inline constexpr double kPiFull = 3.141592653589793;
inline constexpr double kTwoPiFull = 2.0 * kPiFull;

// The imaginary part of the angular frequency: -pi*AW/TL (negative for AW > 0).
inline double damping(double aw, double tl) {
  return -(kPi * aw) / tl;
}

// The argument of the velocity dispersion at angular frequency 2 pi f + i w_im:
// ln|omega| / pi.
inline double dispersion_argument(double rw, double w_im) {
  return std::log(std::sqrt(rw * rw + w_im * w_im)) / kPi;
}

// The wavenumber of step ik, with the grid offset 0.258 held in single precision.
inline double wavenumber_of_step(int ik, double pil) {
  return (static_cast<double>(ik) + static_cast<double>(0.258f)) * pil;
}

}  // namespace lg
