#include "seis/lowpass.h"

#include <numbers>

namespace lg::seis {

std::complex<double> Lowpass::transfer(std::complex<double> w) const {
  if (!active()) return 1.0;
  const std::complex<double> s =
      std::complex<double>(0.0, 1.0) * w / (2.0 * std::numbers::pi * corner);
  std::complex<double> h = 1.0;
  for (int k = 1; k <= poles; ++k) {
    // The poles on the left half of the unit circle; their product is (-1)^poles, so H(0) = 1.
    const double angle = std::numbers::pi * (2.0 * k + poles - 1.0) / (2.0 * poles);
    h /= s - std::polar(1.0, angle);
  }
  return h;
}

}  // namespace lg::seis
