// From damped spectra to time series: the inverse Fourier transform (FFTW) of a real signal's
// non-negative frequencies, followed by the correction for the imaginary part of the frequency.
#pragma once

#include <complex>
#include <vector>

#include <fftw3.h>

namespace lg::seis {

// The spectra U(w) = integral u(t) exp(-i w t) dt are given at w_k = 2*pi*k/TL + i*wI for
// k = 0 ... NFREQ-1, wI = -pi*AW/TL. They are the transform of the damped signal
// u(t)*exp(wI*t), so u(t_n) = exp(-wI*t_n) * (1/TL) * sum over k of U(w_k)*exp(+i*2*pi*k*n/N),
// the sum running over the full, conjugate-symmetric spectrum of N = 2*NFREQ samples with the
// Nyquist bin zero; t_n = n*TL/N counts from the source origin time.
//
// FFTW's planner is not thread-safe: build and use transforms on one thread.
class DampedInverseTransform {
 public:
  DampedInverseTransform(int nfreq, double tl, double aw);
  ~DampedInverseTransform();
  DampedInverseTransform(const DampedInverseTransform&) = delete;
  DampedInverseTransform& operator=(const DampedInverseTransform&) = delete;

  int samples() const { return n_; }
  double dt() const { return tl_ / n_; }

  // The time series of NFREQ spectral values (bins 0 ... NFREQ-1); the imaginary part of bin 0
  // belongs to no real signal and is ignored.
  std::vector<double> operator()(const std::vector<std::complex<double>>& spectrum);

 private:
  int nfreq_;
  int n_;
  double tl_;
  double aw_;
  fftw_complex* in_ = nullptr;
  double* out_ = nullptr;
  fftw_plan plan_ = nullptr;
};

}  // namespace lg::seis
