// The inverse transform of damped spectra, the source time functions and the low-pass, checked
// on signals whose spectra at complex frequencies are known in closed form.
//
// A Gaussian pulse g(t) = exp(-(t - t0)^2 / (2 s^2)) has the transform
// s sqrt(2 pi) exp(-i w t0) exp(-s^2 w^2 / 2), an entire function, so it holds at the damped
// frequencies w = 2 pi f + i wI as well. Recovering g at the right times and with the right
// amplitude fixes the sign of the exponent (causality), the 1/TL scale, the sample times and
// the damping correction exp(-wI t) all at once.

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <functional>
#include <numbers>
#include <vector>

#include "seis/complex_frequency.h"
#include "seis/inverse_transform.h"
#include "seis/lowpass.h"
#include "seis/source_time_function.h"

namespace {

using Cx = std::complex<double>;
using lg::seis::complex_omega;
using lg::seis::DampedInverseTransform;
using lg::seis::Lowpass;
using lg::seis::SourceTimeFunction;

constexpr double kPi = std::numbers::pi;

// Sampling: 512 samples of 0.0390625 over TL = 20; AW = 2 damps the end of the window by
// exp(-2 pi), so the correction there is a factor of 535.
constexpr int kNfreq = 256;
constexpr double kTL = 20.0;
constexpr double kAW = 2.0;
constexpr double kSigma = 0.3;

double gaussian(double t, double t0) {
  return std::exp(-(t - t0) * (t - t0) / (2 * kSigma * kSigma));
}

Cx gaussian_spectrum(Cx w, double t0) {
  return kSigma * std::sqrt(2 * kPi) * std::exp(Cx(0, -1) * w * t0) *
         std::exp(-kSigma * kSigma * w * w / 2.0);
}

// Time series of the Gaussian at t0 times a factor on its spectrum.
std::vector<double> transform_gaussian(double t0, const std::function<Cx(Cx)>& factor) {
  std::vector<Cx> spectrum(kNfreq);
  for (int k = 0; k < kNfreq; ++k) {
    const Cx w = complex_omega(k, kTL, kAW);
    spectrum[static_cast<std::size_t>(k)] = gaussian_spectrum(w, t0) * factor(w);
  }
  DampedInverseTransform transform(kNfreq, kTL, kAW);
  return transform(spectrum);
}

// Composite Simpson rule of f over [a, b] with n (even) intervals.
double simpson(const std::function<double(double)>& f, double a, double b, int n) {
  const double h = (b - a) / n;
  double s = f(a) + f(b);
  for (int i = 1; i < n; ++i) s += (i % 2 == 1 ? 4.0 : 2.0) * f(a + i * h);
  return s * h / 3.0;
}

TEST(SeisTransform, SamplingFollowsTheFrequencyGrid) {
  DampedInverseTransform transform(kNfreq, kTL, kAW);
  EXPECT_EQ(transform.samples(), 2 * kNfreq);
  EXPECT_DOUBLE_EQ(transform.dt(), kTL / (2 * kNfreq));
  const Cx w = complex_omega(3, kTL, kAW);
  EXPECT_DOUBLE_EQ(w.real(), 2 * kPi * 3 / kTL);
  EXPECT_DOUBLE_EQ(w.imag(), -kPi * kAW / kTL);
}

// Pulses early and late in the window come back where and as large as they were: a transform
// with the wrong sign puts them at TL - t0, a missing or wrong damping correction changes the
// late pulse by up to exp(-wI t0) = 200 times.
TEST(SeisTransform, GaussianPulsesComeBackAtTheirTimes) {
  for (const double t0 : {3.0, 10.0, 17.0}) {
    const std::vector<double> u = transform_gaussian(t0, [](Cx) { return Cx(1.0); });
    ASSERT_EQ(u.size(), 2u * kNfreq);
    const double dt = kTL / (2 * kNfreq);
    double worst = 0.0;
    for (std::size_t n = 0; n < u.size(); ++n) {
      worst = std::max(worst, std::abs(u[n] - gaussian(static_cast<double>(n) * dt, t0)));
    }
    // Round-off of the transform, raised by the correction (at most 535) at the window's end.
    EXPECT_LT(worst, 1e-10) << "pulse at t0 = " << t0;
  }
}

// Bin 0 is real for a real signal; any imaginary part there must not leak into the result.
TEST(SeisTransform, IgnoresTheImaginaryPartOfBinZero) {
  std::vector<Cx> spectrum(kNfreq);
  for (int k = 0; k < kNfreq; ++k) {
    spectrum[static_cast<std::size_t>(k)] = gaussian_spectrum(complex_omega(k, kTL, kAW), 5.0);
  }
  DampedInverseTransform transform(kNfreq, kTL, kAW);
  const std::vector<double> a = transform(spectrum);
  spectrum[0] += Cx(0.0, 1.0);
  const std::vector<double> b = transform(spectrum);
  for (std::size_t n = 0; n < a.size(); ++n) EXPECT_DOUBLE_EQ(a[n], b[n]);
}

// Source time functions: the transform of the Gaussian convolved with the moment history,
// against the convolution done in the time domain. A history that ends at 1 leaves a constant
// A = s sqrt(2 pi) (the pulse's area) after it; the periodic signal of the transform adds the
// copies A*q + A*q^2 + ... from the following periods, q = exp(-pi AW), at every time.
TEST(SeisTransform, SourceTimeFunctionsMatchTimeDomainConvolution) {
  const double t0 = 4.0;
  const double area = kSigma * std::sqrt(2 * kPi);
  const double q = std::exp(-kPi * kAW);
  const double copies = area * q / (1.0 - q);

  struct Case {
    const char* name;
    SourceTimeFunction source;
    std::function<double(double)> moment;  // M(t), continuous unless the duration is 0
    double duration;
  };
  const double d = 1.5;
  const std::vector<Case> cases = {
      {"step", lg::seis::parse_source("step"), [](double t) { return t >= 0 ? 1.0 : 0.0; }, 0.0},
      {"triangle", lg::seis::parse_source("triangle:1.5"),
       [d](double t) {
         if (t <= 0) return 0.0;
         if (t >= d) return 1.0;
         const double h = d / 2;  // the integral of the unit-area triangle
         return t <= h ? t * t / (2 * h * h) : 1.0 - (d - t) * (d - t) / (2 * h * h);
       },
       d},
      {"ramp", lg::seis::parse_source("ramp:1.5"),
       [d](double t) {
         if (t <= 0) return 0.0;
         if (t >= d) return 1.0;
         return (1.0 - std::cos(kPi * t / d)) / 2.0;
       },
       d},
  };
  for (const Case& c : cases) {
    const std::vector<double> u =
        transform_gaussian(t0, [&c](Cx w) { return c.source.transfer(w); });
    const double dt = kTL / (2 * kNfreq);
    double worst = 0.0;
    for (std::size_t n = 0; n < u.size(); n += 3) {
      const double t = static_cast<double>(n) * dt;
      if (c.duration == 0.0) {
        // The step: the integral of the Gaussian, in closed form.
        const double want = copies + area * 0.5 * std::erfc(-(t - t0) / (kSigma * std::sqrt(2.0)));
        worst = std::max(worst, std::abs(u[n] - want));
        continue;
      }
      // (g * M)(t) = integral of g(tau) M(t - tau) over the pulse's support.
      const auto integrand = [&](double tau) { return gaussian(tau, t0) * c.moment(t - tau); };
      double want = copies;
      // Split at the kinks of M(t - tau) so that Simpson's rule sees smooth pieces.
      double a = t0 - 10 * kSigma;
      for (const double kink : {t - c.duration, t}) {
        const double b = std::clamp(kink, t0 - 10 * kSigma, t0 + 10 * kSigma);
        if (b > a) want += simpson(integrand, a, b, 2000);
        a = std::max(a, b);
      }
      want += simpson(integrand, a, t0 + 10 * kSigma, 2000);
      worst = std::max(worst, std::abs(u[n] - want));
    }
    // Quadrature error (below 1e-9) and transform round-off; against a final value of 0.75.
    EXPECT_LT(worst, 1e-8) << c.name;
  }
}

TEST(SeisTransform, SourceTimeFunctionsParseAndDescribe) {
  EXPECT_EQ(lg::seis::parse_source("impulse").describe(), "impulse");
  EXPECT_EQ(lg::seis::parse_source("step").describe(), "step");
  EXPECT_EQ(lg::seis::parse_source("triangle:2.5").describe(), "triangle:2.5");
  EXPECT_EQ(lg::seis::parse_source("ramp:0.5").duration, 0.5);
  EXPECT_FALSE(lg::seis::parse_source("impulse").gives_displacement());
  EXPECT_TRUE(lg::seis::parse_source("step").gives_displacement());
  for (const char* bad : {"", "box:1", "triangle", "triangle:", "triangle:0", "ramp:-1", "ramp:1x",
                          "triangle:nan", "Step"}) {
    EXPECT_THROW(lg::seis::parse_source(bad), std::invalid_argument) << bad;
  }
}

TEST(SeisTransform, LowpassHasTheButterworthAmplitude) {
  for (int poles = 1; poles <= 8; ++poles) {
    const Lowpass lp{0.5, poles};
    EXPECT_NEAR(std::abs(lp.transfer(0.0)), 1.0, 1e-12) << poles;
    EXPECT_NEAR(std::abs(lp.transfer(2 * kPi * 0.5)), 1.0 / std::sqrt(2.0), 1e-12) << poles;
    EXPECT_NEAR(std::abs(lp.transfer(2 * kPi * 5.0)),
                1.0 / std::sqrt(1.0 + std::pow(10.0, 2 * poles)), 1e-12)
        << poles;
    // The phase at zero frequency is zero: no sign flip of the signal.
    EXPECT_NEAR(lp.transfer(0.0).imag(), 0.0, 1e-12) << poles;
  }
  EXPECT_EQ(Lowpass{}.transfer(Cx(3.0, -1.0)), Cx(1.0));  // corner 0: no filter
}

// The filter applied at the damped frequencies acts like the causal filter in the time domain:
// compared with the convolution of the Gaussian with the impulse responses of the one- and
// two-pole filters, wc exp(-wc t) and sqrt(2) wc exp(-wc t/sqrt(2)) sin(wc t/sqrt(2)), t > 0.
TEST(SeisTransform, LowpassActsAsTheCausalFilter) {
  const double fc = 0.8;
  const double wc = 2 * kPi * fc;
  const double t0 = 6.0;
  const std::vector<std::pair<int, std::function<double(double)>>> filters = {
      {1, [wc](double t) { return t < 0 ? 0.0 : wc * std::exp(-wc * t); }},
      {2,
       [wc](double t) {
         const double a = wc / std::sqrt(2.0);
         return t < 0 ? 0.0 : std::sqrt(2.0) * wc * std::exp(-a * t) * std::sin(a * t);
       }},
  };
  for (const auto& filter : filters) {
    const int poles = filter.first;
    const std::function<double(double)>& h = filter.second;
    const Lowpass lp{fc, poles};
    const std::vector<double> u = transform_gaussian(t0, [&lp](Cx w) { return lp.transfer(w); });
    const double dt = kTL / (2 * kNfreq);
    double worst = 0.0, peak = 0.0;
    for (std::size_t n = 0; n < u.size(); n += 2) {
      const double t = static_cast<double>(n) * dt;
      // Plus the copies of the filter's tail from the later periods, damped by exp(-2 pi AW).
      double want = 0.0;
      for (int m = 0; m < 3; ++m) {
        const double tm = t + m * kTL;
        const double lo = t0 - 10 * kSigma;
        const double hi = std::min(tm, t0 + 10 * kSigma);
        if (hi > lo) {
          want +=
              std::exp(-kPi * kAW * m) *
              simpson([&](double tau) { return gaussian(tau, t0) * h(tm - tau); }, lo, hi, 4000);
        }
      }
      worst = std::max(worst, std::abs(u[n] - want));
      peak = std::max(peak, std::abs(want));
    }
    ASSERT_GT(peak, 0.1);
    EXPECT_LT(worst, 1e-6 * peak) << poles << " poles";
    // Nothing before the pulse: the filter adds no precursor.
    const auto first = static_cast<std::size_t>((t0 - 8 * kSigma) / dt);
    for (std::size_t n = 0; n < first; ++n) EXPECT_LT(std::abs(u[n]), 1e-9 * peak) << n;
  }
}

}  // namespace
