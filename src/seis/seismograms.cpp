#include "seis/seismograms.h"

#include <complex>
#include <cstddef>

#include "seis/complex_frequency.h"
#include "seis/inverse_transform.h"

namespace lg::seis {

Seismograms make_seismograms(const ResultFile& r, const Processing& p) {
  const auto nfreq = static_cast<std::size_t>(r.NFREQ);
  // One factor per frequency for the source, the filter and the taper, all taken at the complex
  // frequency, so that they act on the damped spectra as on the undamped signal.
  std::vector<std::complex<double>> factor = p.taper.transfer(r.NFREQ, r.TL, r.AW);
  for (std::size_t k = 0; k < nfreq; ++k) {
    const std::complex<double> w = complex_omega(static_cast<int>(k), r.TL, r.AW);
    factor[k] *= p.source.transfer(w) * p.lowpass.transfer(w);
  }

  DampedInverseTransform transform(r.NFREQ, r.TL, r.AW);
  Seismograms s;
  s.dt = transform.dt();
  s.npts = transform.samples();
  std::vector<std::complex<double>> spectrum(nfreq);
  for (std::size_t e = 0; e < kElements; ++e) {
    for (std::size_t c = 0; c < kComponents; ++c) {
      for (std::size_t k = 0; k < nfreq; ++k) spectrum[k] = r.groups[k][e][c] * factor[k];
      s.trace[e][c] = transform(spectrum);
    }
  }
  return s;
}

}  // namespace lg::seis
