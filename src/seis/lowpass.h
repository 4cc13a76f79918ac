// A causal low-pass filter (Butterworth) as a factor on the spectra at complex frequencies.
#pragma once

#include <complex>

namespace lg::seis {

// The analogue Butterworth filter: |H| = 1/sqrt(1 + (f/corner)^(2*poles)) at real frequencies.
// Its poles lie in the left half of the s = i*w plane, so its impulse response vanishes before
// t = 0, and H(w) evaluated at the damped frequencies (Im w < 0) filters the damped spectra
// exactly as the filter acts on the undamped signal: the result stays causal.
struct Lowpass {
  double corner = 0.0;  // corner frequency in cycles per time unit; 0 means no filter
  int poles = 4;

  bool active() const { return corner > 0.0; }
  std::complex<double> transfer(std::complex<double> w) const;
};

}  // namespace lg::seis
