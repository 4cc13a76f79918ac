// The frequency loop of a data set, run on several threads: each worker computes whole
// frequencies with scratch space of its own, and the results are handed on in frequency order,
// so that the output is the same for every thread count. Memory is bounded by a window of
// finished frequencies, whatever the number of frequencies.
#pragma once

#include <cstddef>
#include <functional>
#include <vector>

#include "run/data_set_spectra.h"

namespace lg {

// The results of one frequency: one entry per data set computed together.
using FrequencyResults = std::vector<FrequencySpectra>;

// Computes the `count` consecutive frequencies from f (values freqs[0 .. count-1]) into
// out[0 .. count-1]; each worker thread calls its own instance.
using FrequencyWorker = std::function<void(std::size_t f, const double* freqs, std::size_t count,
                                           std::vector<FrequencyResults>& out)>;

// Computes the frequencies 0, dfreq, 2*dfreq, ... (n of them, by repeated addition from zero)
// in batches of `batch` consecutive frequencies (the last may be shorter) with `threads`
// workers, each made by make_worker on its own thread, and calls sink for f = 0, 1, ... in
// order on the calling thread. An exception thrown by a worker or by sink stops the workers
// and is passed on. `enough` (may be empty) is asked after each call of sink: when it says
// true, the run ends there and returns.
void run_frequencies(std::size_t n, double dfreq, int threads, std::size_t batch,
                     const std::function<FrequencyWorker()>& make_worker,
                     const std::function<void(FrequencyResults&)>& sink,
                     const std::function<bool()>& enough = {});

}  // namespace lg
