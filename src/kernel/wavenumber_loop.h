// One frequency of a data set: sets the complex frequency, runs the wavenumber summation to
// convergence (or to its last index) and expands the sums into the spectra.
#pragma once

#include <vector>

#include "kernel/records.h"

namespace lg {

// Frequency and wavenumber sampling of a data set.
struct Sampling {
  double aw = 0.0;   // imaginary part of the angular frequency, -(pi*AW)/TL
  double xl = 0.0;   // periodicity length XL
  double pil = 0.0;  // wavenumber step 2*pi/XL
  int ikmax = 0;
};

// The wavenumber index at which convergence may first end the summation is above this.
inline constexpr int kIkMin = 100;

// The wavenumber of step ik, with the grid offset 0.258 held in single precision.
inline double wavenumber(int ik, double pil) {
  return (static_cast<double>(ik) + static_cast<double>(0.258f)) * pil;
}

// J0 and J1 of every receiver at every wavenumber of the grid. The grid does not depend on
// the frequency, so a data set computes them once and every frequency reads them.
class BesselTable {
 public:
  BesselTable() = default;
  // Tabulates rows 0 .. rows-1 for the receivers of c (distances from initda), sharing the
  // rows out among `threads` threads.
  BesselTable(const Context& c, const Sampling& s, int rows, int threads = 1);
  int rows() const { return rows_; }
  const double* row(int ik) const {
    return values_.data() + static_cast<std::size_t>(ik) * static_cast<std::size_t>(stride_);
  }

 private:
  int rows_ = 0;
  int stride_ = 0;
  std::vector<double> values_;
};

struct FrequencyOutcome {
  int ik = 0;              // the count reported in the result files
  bool converged = false;  // false when the summation ran out of indices unconverged
};

// Sets omega, omega2, cnorm and xlnw of the context for frequency `freq`.
void set_frequency(Context& c, double freq, const Sampling& s);

// Runs the wavenumber loop for frequency `freq` (usum cleared first) and refle5, leaving the
// spectra of receivers 1..NR in c.dim1f.ug. Rows of `table`, where given, replace the Bessel
// evaluations; the results are the same either way.
FrequencyOutcome compute_frequency(Context& c, double freq, const Sampling& s,
                                   const BesselTable* table = nullptr);

}  // namespace lg
