// The frequency loop of a data set, run on several threads: each worker computes whole
// frequencies with its own copy of the data set's context, and the results are handed on in
// frequency order, so that the files are the same for every thread count.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "kernel/wavenumber_loop.h"
#include "kernel/records.h"

namespace lg {

struct FrequencyResult {
  int ik = 0;
  bool converged = false;
  bool finite = true;               // false when a spectrum of some receiver is not a finite number
  std::vector<std::string> groups;  // the frequency group of each receiver slot 1..NR
};

// Computes the frequencies freqs[0], freqs[1], ... with `threads` workers, starting each from
// a copy of `prototype` (a context after initda), and calls sink(f, result) for f = 0, 1, ...
// in order on the calling thread. An exception thrown by sink stops the workers and is
// passed on.
void run_frequencies(const Context& prototype, const Sampling& s, const BesselTable* table,
                     const std::vector<double>& freqs, int threads,
                     const std::function<void(std::size_t, FrequencyResult&)>& sink);

}  // namespace lg
