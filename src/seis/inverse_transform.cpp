#include "seis/inverse_transform.h"

#include <cmath>
#include <new>
#include <stdexcept>

#include "seis/complex_frequency.h"

namespace lg::seis {

DampedInverseTransform::DampedInverseTransform(int nfreq, double tl, double aw)
    : nfreq_(nfreq), n_(2 * nfreq), tl_(tl), aw_(aw) {
  if (nfreq < 1 || !(tl > 0.0)) throw std::invalid_argument("inverse transform of no samples");
  in_ = fftw_alloc_complex(static_cast<std::size_t>(nfreq_) + 1);
  out_ = fftw_alloc_real(static_cast<std::size_t>(n_));
  if (in_ != nullptr && out_ != nullptr) {
    plan_ = fftw_plan_dft_c2r_1d(n_, in_, out_, FFTW_ESTIMATE);
  }
  if (plan_ == nullptr) {
    fftw_free(in_);
    fftw_free(out_);
    throw std::bad_alloc();
  }
}

DampedInverseTransform::~DampedInverseTransform() {
  fftw_destroy_plan(plan_);
  fftw_free(in_);
  fftw_free(out_);
}

std::vector<double> DampedInverseTransform::operator()(
    const std::vector<std::complex<double>>& spectrum) {
  if (spectrum.size() != static_cast<std::size_t>(nfreq_)) {
    throw std::invalid_argument("spectrum length differs from the transform's");
  }
  for (int k = 0; k < nfreq_; ++k) {
    in_[k][0] = spectrum[static_cast<std::size_t>(k)].real();
    in_[k][1] = spectrum[static_cast<std::size_t>(k)].imag();
  }
  in_[nfreq_][0] = 0.0;  // Nyquist
  in_[nfreq_][1] = 0.0;
  fftw_execute(plan_);  // out = sum over the full spectrum of U_k exp(+2 pi i k n / N)

  // df = 1/TL turns the sum into the integral over frequency; exp(-wI t) undoes the damping.
  const double wi = damping(tl_, aw_);
  const double dt = tl_ / n_;
  std::vector<double> u(static_cast<std::size_t>(n_));
  for (int n = 0; n < n_; ++n) {
    u[static_cast<std::size_t>(n)] = out_[n] / tl_ * std::exp(-wi * n * dt);
  }
  return u;
}

}  // namespace lg::seis
