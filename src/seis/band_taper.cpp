#include "seis/band_taper.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <new>
#include <numbers>

#include <fftw3.h>

#include "seis/complex_frequency.h"

namespace lg::seis {

namespace {

// The exponent m of the amplitude for a width.
double taper_power(double width) {
  return std::log(std::log(1e4) / -std::log(0.99)) / -std::log(1.0 - width);
}

// The zero at fN: its order (the factor ((1 + exp(-i w dt))/2)^kZeroOrder) and the floor below
// which the minimum-phase part does not make up for it.
constexpr int kZeroOrder = 4;
constexpr double kZeroFloor = 0.01;

// Complex FFTW buffers and one plan, released however the scope is left.
class Fft {
 public:
  Fft(std::size_t n, int sign) {
    in_ = fftw_alloc_complex(n);
    out_ = fftw_alloc_complex(n);
    if (in_ != nullptr && out_ != nullptr) {
      plan_ = fftw_plan_dft_1d(static_cast<int>(n), in_, out_, sign, FFTW_ESTIMATE);
    }
    if (plan_ == nullptr) {
      release();
      throw std::bad_alloc();
    }
  }
  ~Fft() { release(); }
  Fft(const Fft&) = delete;
  Fft& operator=(const Fft&) = delete;

  void set(std::size_t j, std::complex<double> v) {
    in_[j][0] = v.real();
    in_[j][1] = v.imag();
  }
  std::complex<double> out(std::size_t j) const { return {out_[j][0], out_[j][1]}; }
  void run() { fftw_execute(plan_); }

 private:
  void release() {
    if (plan_ != nullptr) fftw_destroy_plan(plan_);
    fftw_free(in_);
    fftw_free(out_);
  }
  fftw_complex* in_ = nullptr;
  fftw_complex* out_ = nullptr;
  fftw_plan plan_ = nullptr;
};

// The logarithm of the amplitude of the minimum-phase part at f = x*fN, 0 <= x <= 1: the
// amplitude's, less that of the zero at fN, whose division is kept finite by kZeroFloor.
double minimum_phase_log_amplitude(double x, double width) {
  const double z = std::pow(std::cos(std::numbers::pi * x / 2.0), kZeroOrder);
  return -std::log(1e4) * std::pow(x, taper_power(width)) -
         0.5 * std::log(z * z + kZeroFloor * kZeroFloor);
}

}  // namespace

double BandTaper::amplitude(double f, double fn) const {
  if (!active()) return 1.0;
  const double x = std::min(std::abs(f) / fn, 1.0);
  const double z = std::pow(std::cos(std::numbers::pi * x / 2.0), kZeroOrder);
  return std::exp(-std::log(1e4) * std::pow(x, taper_power(width))) * z /
         std::sqrt(z * z + kZeroFloor * kZeroFloor);
}

std::vector<std::complex<double>> BandTaper::transfer(int nfreq, double tl, double aw) const {
  const auto bins = static_cast<std::size_t>(nfreq);
  std::vector<std::complex<double>> factor(bins, 1.0);
  if (!active()) return factor;

  // The record's N = 2 NFREQ samples, oversampled L times on the unit circle: the log amplitude
  // at M = L N angles, whose inverse transform is the real cepstrum (even in n). Folded onto
  // n >= 0 it is the cepstrum of the minimum-phase filter. Its amplitude is exact at the M
  // angles, among them the NFREQ of the bins; between them the folding of the cepstrum's tail
  // (which falls as 1/n^2 from the kink of the amplitude at fN) errs by about 1/M.
  const std::size_t n = 2 * bins;
  const std::size_t oversampling = std::max<std::size_t>(16, (std::size_t{1} << 16) / n + 1);
  const std::size_t m = n * oversampling;
  Fft inverse(m, FFTW_BACKWARD);
  for (std::size_t j = 0; j < m; ++j) {
    // The angle 2 pi j/M is the frequency x*fN.
    const double x = 2.0 * static_cast<double>(std::min(j, m - j)) / static_cast<double>(m);
    inverse.set(j, minimum_phase_log_amplitude(x, width));
  }
  inverse.run();

  // ln H(w) = sum over n >= 0 of chat_n exp(-i w n dt); at w = wR + i wI the term n carries
  // exp(wI n dt), which a forward transform of the weighted cepstrum then sums at every angle.
  const double decay = std::exp(damping(tl, aw) * tl / static_cast<double>(n));
  Fft forward(m, FFTW_FORWARD);
  double weight = 1.0;
  for (std::size_t j = 0; j < m; ++j) {
    const double c = inverse.out(j).real() / static_cast<double>(m);
    const double fold = j == 0 || 2 * j == m ? 1.0 : 2 * j < m ? 2.0 : 0.0;
    forward.set(j, fold * c * weight);
    weight *= decay;
  }
  forward.run();
  const double dt = tl / static_cast<double>(n);
  for (std::size_t k = 0; k < bins; ++k) {
    const std::complex<double> zero =
        0.5 * (1.0 + std::exp(-std::complex<double>(0.0, 1.0) *
                              complex_omega(static_cast<int>(k), tl, aw) * dt));
    factor[k] = std::exp(forward.out(k * oversampling)) * std::pow(zero, kZeroOrder);
  }
  return factor;
}

}  // namespace lg::seis
