// Up to four frequencies of one data set stepping through the wavenumbers together: the layer
// part of each step (vertical wavenumbers, interface coefficients, stack responses), the
// source-layer terms and the depth terms with the frequencies in AVX2 lanes, the Bessel factors
// once for all of them, the receiver sums and their convergence test per frequency. Reads the
// workspaces' model, placement and receivers and the sampling; writes each workspace's
// per-frequency records and spectra.
#pragma once

#include <vector>

#include "kernel/lanes.h"
#include "kernel/records.h"
#include "kernel/wavenumber_loop.h"

namespace lg {

// Frequencies freqs[0 .. n-1] (n <= 4), frequency j in ws[j] (ws holds at least n workspaces
// of the same data set). Each frequency leaves the loop at the step where it would leave it
// alone and takes no further increments, and every lane does the scalar operations of its
// own frequency, so the spectra and outcomes are those of compute_frequency, bit for bit.
// Without AVX2 lanes the frequencies are computed one by one.
std::vector<FrequencyOutcome> compute_frequencies(std::vector<Workspace>& ws, const double* freqs,
                                                  int n, const Sampling& s,
                                                  const BesselTable* table,
                                                  Lanes lanes = best_lanes());

}  // namespace lg
