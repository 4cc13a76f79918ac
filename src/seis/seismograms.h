// The eighteen time series of one result file (six moment-tensor elements, three components),
// after the optional source time function and low-pass.
#pragma once

#include <array>
#include <vector>

#include "seis/lowpass.h"
#include "seis/result_file.h"
#include "seis/source_time_function.h"

namespace lg::seis {

struct Processing {
  SourceTimeFunction source;
  Lowpass lowpass;
};

struct Seismograms {
  double dt = 0.0;  // TL / (2 NFREQ)
  int npts = 0;     // 2 NFREQ; sample n is at time n*dt after the source origin
  // trace[element][component], counted from 0.
  std::array<std::array<std::vector<double>, kComponents>, kElements> trace;
};

Seismograms make_seismograms(const ResultFile& r, const Processing& p);

}  // namespace lg::seis
