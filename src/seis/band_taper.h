// The smooth taper over the top of the band that the seismogram programs apply by default.
#pragma once

#include <complex>
#include <vector>

namespace lg::seis {

// It lets the spectra fall smoothly over the top of the band, to zero at fN = NFREQ/TL, the
// first frequency not stored. Its amplitude is
//   exp(-c*(f/fN)^m) * C/sqrt(C^2 + 1e-4),  C = cos(pi f/(2 fN))^4,
// with c = ln(1e4) and m such that the first factor is 0.99 at (1 - width)*fN: the first factor
// up to about 0.6 fN (within 0.3 %), then a zero of order 4 at fN. It is a causal filter on the
// record's samples (dt = TL/(2 NFREQ)): the factor ((1 + exp(-i w dt))/2)^4, which holds the zero,
// times the minimum-phase filter of the rest of the amplitude, whose cepstrum is causal. Both
// are series in exp(-i w dt) and are taken at the complex frequencies of the spectra like the
// source and the low-pass, so they act on the undamped signal.
//
// Why so: whatever the record holds before t = 0 comes round to its end, where the damping
// correction raises it by exp(pi*AW) (535 for AW = 2). Each arrival, cut off at fN, spreads to
// both sides of its time by the band-limited response of the taper; a zero-phase taper spreads
// half of that response before the arrival, and even a causal one that stops short of zero at
// fN leaves the cut, whose ringing decays only as 1/n. The zero of order 4 makes the spectrum of
// an arrival smooth across fN, so that what reaches the samples before it falls as 1/n^5. The
// onsets stay where they are; the peaks of the shortest pulses come about two samples later.
struct BandTaper {
  double width = 0.0;  // fraction of the band over which the spectra fall, 0 (none) to 0.9

  bool active() const { return width > 0.0; }
  // The amplitude at the real frequency f of a file whose first frequency not stored is fn.
  double amplitude(double f, double fn) const;
  // The factors at the complex frequencies of the NFREQ bins of a file (all 1 when inactive).
  std::vector<std::complex<double>> transfer(int nfreq, double tl, double aw) const;
};

// The taper layergreen-seis and tools/plot apply unless told otherwise.
inline constexpr double kDefaultTaperWidth = 0.7;
inline constexpr double kMaxTaperWidth = 0.9;

}  // namespace lg::seis
