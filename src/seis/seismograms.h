// The time series of one result file (its elements by components, see kernel/layout.h), after
// the optional source time function and low-pass.
#pragma once

#include <array>
#include <complex>
#include <vector>

#include "seis/band_taper.h"
#include "seis/lowpass.h"
#include "seis/result_file.h"
#include "seis/source_time_function.h"

namespace lg::seis {

struct Processing {
  SourceTimeFunction source;
  Lowpass lowpass;
  BandTaper taper;  // none here; the programs' default is kDefaultTaperWidth
};

struct Seismograms {
  double dt = 0.0;  // TL / (2 NFREQ)
  int npts = 0;     // 2 NFREQ; sample n is at time n*dt after the source origin
  // trace[element][component], counted from 0.
  ElementValues<std::vector<double>> trace;
};

Seismograms make_seismograms(const ResultFile& r, const Processing& p);

}  // namespace lg::seis
