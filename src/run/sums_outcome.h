// What the wavenumber sums of a run met: how many (data set, frequency) sums reached the last
// wavenumber without converging and how many spectra are not finite numbers. Every front end
// (the classic run, banks, the MPI runs, the Python module) tallies its frequencies here and
// warns from it.
#pragma once

#include <cstdint>

namespace lg {

struct SumsOutcome {
  std::int64_t sums = 0;         // (data set, frequency) pairs computed
  std::int64_t unconverged = 0;  // of them, reached the last wavenumber unconverged
  std::int64_t nonfinite = 0;    // of them, with a spectrum that is not a finite number
  std::int64_t data_sets = 0;    // data sets tallied
  std::int64_t data_sets_unconverged = 0;
  std::int64_t data_sets_nonfinite = 0;
  double highest_unconverged = 0.0;  // highest frequency of an unconverged sum
  double first_nonfinite = 0.0;      // lowest frequency with a non-finite spectrum

  // One frequency of a data set.
  void add(double freq, bool converged, bool finite) {
    ++sums;
    if (!converged) {
      if (unconverged++ == 0 || freq > highest_unconverged) highest_unconverged = freq;
    }
    if (!finite) {
      if (nonfinite++ == 0 || freq < first_nonfinite) first_nonfinite = freq;
    }
  }
  // The frequencies of one data set, tallied on their own.
  void add_data_set(const SumsOutcome& d) {
    sums += d.sums;
    ++data_sets;
    if (d.unconverged > 0) {
      if (unconverged == 0 || d.highest_unconverged > highest_unconverged) {
        highest_unconverged = d.highest_unconverged;
      }
      unconverged += d.unconverged;
      ++data_sets_unconverged;
    }
    if (d.nonfinite > 0) {
      if (nonfinite == 0 || d.first_nonfinite < first_nonfinite) {
        first_nonfinite = d.first_nonfinite;
      }
      nonfinite += d.nonfinite;
      ++data_sets_nonfinite;
    }
  }
};

}  // namespace lg
