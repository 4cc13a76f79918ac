// The moment history the impulse responses are convolved with, as a factor on the spectra at
// complex frequencies: the transform of M(t) (zero before t = 0, final value 1).
#pragma once

#include <complex>
#include <string>

namespace lg::seis {

struct SourceTimeFunction {
  enum class Kind {
    kImpulse,   // M(t) = delta(t): the spectra as they are (ground velocity for a step in moment)
    kStep,      // M(t) = H(t): displacement for a step in moment
    kTriangle,  // dM/dt an isosceles triangle of unit area from 0 to `duration`
    kRamp,      // M(t) = (1 - cos(pi t/duration))/2 up to `duration`, 1 after it
  };
  Kind kind = Kind::kImpulse;
  double duration = 0.0;

  // integral M(t) exp(-i w t) dt at the complex angular frequency w (Im w < 0, w != 0).
  std::complex<double> transfer(std::complex<double> w) const;

  // True when the result is a displacement (every kind but the impulse).
  bool gives_displacement() const { return kind != Kind::kImpulse; }

  // "impulse", "step", "triangle:2.5", "ramp:2.5".
  std::string describe() const;
};

// Parses the text of the --source option ("impulse", "step", "triangle:D", "ramp:D" with a
// positive duration D). Throws std::invalid_argument with a message for anything else.
SourceTimeFunction parse_source(const std::string& text);

}  // namespace lg::seis
