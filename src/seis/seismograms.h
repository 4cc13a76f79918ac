// The time series of one result file (its elements by components, see kernel/layout.h), after
// the optional source time function and low-pass.
#pragma once

#include <array>
#include <complex>
#include <vector>

#include "seis/lowpass.h"
#include "seis/result_file.h"
#include "seis/source_time_function.h"

namespace lg::seis {

// A smooth taper over the top of the band: the factor exp(-c*(f/fN)^m) with fN = NFREQ/TL, the
// first frequency not stored, c = ln(1e4) so that the spectra fall to 1e-4 at fN, and m such
// that the factor is 0.99 at (1 - width)*fN. It removes the cut of the spectra at fN, whose
// ringing the damping correction would raise by up to exp(pi*AW) towards the end of the record.
// The factor is an entire function of the frequency and is taken, like the source and the
// low-pass, at the complex frequencies: it acts on the undamped signal as a zero-phase
// smoothing of about 1/fN and is not raised by the correction. (A taper of the real frequency,
// such as a cosine over the top of the band, is: its ringing before each arrival comes round
// to the end of the record and grows there by up to exp(pi*AW).)
struct BandTaper {
  double width = 0.0;  // fraction of the band over which the spectra fall, 0 (none) to 0.9

  bool active() const { return width > 0.0; }
  // The factor at the complex angular frequency w of a file whose first frequency not stored
  // is fn.
  std::complex<double> transfer(std::complex<double> w, double fn) const;
};

// The taper layergreen-seis and tools/plot apply unless told otherwise.
inline constexpr double kDefaultTaperWidth = 0.7;
inline constexpr double kMaxTaperWidth = 0.9;

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
