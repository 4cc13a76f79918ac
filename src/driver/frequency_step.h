// One frequency of a data set: sets the complex frequency, runs the wavenumber summation to
// convergence (or to its last index) and expands the sums into the spectra.
#pragma once

#include "model/records.h"

namespace lg {

// Frequency and wavenumber sampling of a data set.
struct Sampling {
  double aw = 0.0;  // imaginary part of the angular frequency, -(pi*AW)/TL
  double xl = 0.0;  // periodicity length XL
  double pil = 0.0;  // wavenumber step 2*pi/XL
  int ikmax = 0;
};

// The wavenumber index at which convergence may first end the summation is above this.
inline constexpr int kIkMin = 100;

struct FrequencyOutcome {
  int ik = 0;              // the count reported in the result files
  bool converged = false;  // false when the summation ran out of indices unconverged
};

// Sets omega, omega2, cnorm and xlnw of the context for frequency `freq`.
void set_frequency(Context& c, double freq, const Sampling& s);

// Runs the wavenumber loop for the frequency set in c (usum cleared first) and refle5,
// leaving the spectra of receivers 1..NR in c.dim1f.ug.
FrequencyOutcome compute_frequency(Context& c, double freq, const Sampling& s);

}  // namespace lg
