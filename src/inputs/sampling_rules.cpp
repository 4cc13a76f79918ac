#include "inputs/sampling_rules.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "kernel/constants.h"

namespace lg {

namespace {

std::string format(const char* fmt, auto... args) {
  char buf[512];
  std::snprintf(buf, sizeof buf, fmt, args...);
  return buf;
}

// The wavenumbers the sums must reach: the S waves of the slowest layer at the highest
// frequency, and the evanescent waves that still reach the receiver nearest the source depth.
struct NeededWavenumber {
  double f_max = 0.0;
  double waves = 0.0;
  double evanescent = 0.0;
  double total() const { return waves + evanescent; }
};

NeededWavenumber needed_wavenumber(const SamplingBounds& b, const SamplingValues& v) {
  NeededWavenumber k;
  if (v.nfreq > 1) {
    k.f_max = (v.nfreq - 1) / v.tl;
    // With water, the Scholte wave along the sea floor is the slowest wave of all.
    k.waves = kTwoPi * k.f_max / (b.fluid ? kSurfaceWaveFactor * b.vs_min : b.vs_min);
  }
  const double floor = v.uconv > 0.0 ? v.uconv : kFileRounding;
  k.evanescent = std::isfinite(b.dz_min) ? std::log(kIntegrandGrowth / floor) / b.dz_min : 0.0;
  return k;
}

std::string num(double v) {
  return format("%.6g", v);
}

}  // namespace

void SamplingBounds::add_layer(double vp, double vs) {
  vp_max = std::max(vp_max, vp);
  // In a fluid the slowest waves are the sound waves (and the sea floor's Scholte wave, slower
  // than both the sound speed and the floor's vs, which the surface-wave factor covers).
  if (vs == 0.0) fluid = true;
  vs_min = std::min(vs_min, vs == 0.0 ? vp : vs);
}

void SamplingBounds::add_receiver(double dx, double dy, double dz) {
  has_receivers = true;
  r_max = std::max(r_max, std::hypot(dx, dy));
  const double d = std::abs(dz);
  if (d > 0.0) dz_min = std::min(dz_min, d);
}

double round_up_2(double v) {
  if (!(v > 0.0)) return v;
  const double unit = std::pow(10.0, std::floor(std::log10(v)) - 1.0);
  return std::ceil(v / unit - 1e-9) * unit;
}

double ikmax_needed(const SamplingBounds& b, const SamplingValues& v) {
  return std::ceil(needed_wavenumber(b, v).total() * v.xl / kTwoPi - 0.258);
}

std::vector<SamplingWarning> sampling_warnings(const SamplingBounds& b, const SamplingValues& v) {
  std::vector<SamplingWarning> out;
  if (!b.has_receivers) return out;

  // TL: the slowest surface waves reach the farthest receiver within the first three quarters
  // of the record (what comes later wraps round to its start, and the end is the least exact).
  const double c_min = kSurfaceWaveFactor * b.vs_min;
  const double t_last = b.r_max / c_min;
  const double tl_needed = t_last / kRecordShare;
  if (v.tl < tl_needed) {
    out.push_back({"TL", tl_needed,
                   format("TL = %.9g is too short: the slowest surface waves (%.2g x the "
                          "slowest %s, %.4g) reach the farthest receiver (r = %.4g) at t = "
                          "%.4g, beyond the first three quarters of the record; TL should be at "
                          "least %.4g (NFREQ in proportion, to keep the highest frequency)",
                          v.tl, kSurfaceWaveFactor, b.fluid ? "vs or sound speed" : "vs", c_min,
                          b.r_max, t_last, tl_needed)});
  }

  // XL: the nearest periodic image of the source, XL - r away, sends nothing before TL.
  const double xl_needed = b.r_max + b.vp_max * v.tl;
  if (v.xl < xl_needed) {
    out.push_back({"XL", xl_needed,
                   format("XL = %.9g is too short: periodic images of the source arrive from "
                          "t = %.4g on, inside the record length TL = %.9g; XL should be at "
                          "least r + vp*TL = %.4g + %.4g*%.9g = %.4g",
                          v.xl, std::max((v.xl - b.r_max) / b.vp_max, 0.0), v.tl, b.r_max, b.vp_max,
                          v.tl, xl_needed)});
  }

  // IKMAX: the highest wavenumber (IKMAX + 0.258)*2*pi/XL covers the S waves of the slowest
  // layer at the highest frequency, plus the evanescent waves that still reach the receiver
  // nearest to the source's depth.
  if (v.nfreq > 1) {
    const NeededWavenumber k = needed_wavenumber(b, v);
    const double k_max = wavenumber_of_step(v.ikmax, kTwoPi / v.xl);
    const double needed = ikmax_needed(b, v);
    if (v.ikmax < needed) {
      std::string why = b.fluid
                            ? format(
                                  "2*pi*fmax/(%.2g x the slowest vs or sound speed) = %.4g for the "
                                  "sea floor's Scholte wave at the highest frequency %.4g",
                                  kSurfaceWaveFactor, k.waves, k.f_max)
                            : format(
                                  "2*pi*fmax/vs = %.4g for S waves in the slowest layer at the "
                                  "highest frequency %.4g",
                                  k.waves, k.f_max);
      if (k.evanescent > 0.0) {
        why += format(
            ", plus ln(%g/%s)/|zs - zr| = %.4g for the evanescent waves to the "
            "receiver nearest the source depth (%.4g from it)",
            kIntegrandGrowth, v.uconv > 0.0 ? "UCONV" : "5e-7", k.evanescent, b.dz_min);
      }
      out.push_back({"IKMAX", needed,
                     format("IKMAX = %d reaches wavenumber %.4g, below the %.4g needed (%s): the "
                            "sums cannot converge there; IKMAX should be at least %.0f (with "
                            "XL = %.9g)",
                            v.ikmax, k_max, k.total(), why.c_str(), needed, v.xl)});
    }
  }
  return out;
}

std::vector<SamplingWarning> sampling_warnings(const ModelParams& p, const LayerModel& layers,
                                               const SamplingGeometry& g) {
  if (p.NC < 1 || g.x.empty()) return {};
  SamplingBounds b;
  for (int ic = 1; ic <= p.NC; ++ic) b.add_layer(layers.vp[ic], layers.vs[ic]);
  for (std::size_t s = 0; s < g.x.size(); ++s) {
    b.add_receiver(g.x[s] - p.XS, g.y[s] - p.YS, g.z[s] - g.zs);
  }
  return sampling_warnings(b, SamplingValues{p.NFREQ, p.TL, p.XL, p.IKMAX, p.UCONV});
}

double automatic_xl(const SamplingBounds& b, double tl, std::string* reason) {
  const double xl = round_up_2(kAutoXlMargin * (b.r_max + b.vp_max * tl));
  if (reason != nullptr) {
    *reason = "xl = " + num(xl) + " (auto): " + num(kAutoXlMargin) + " x (largest distance " +
              num(b.r_max) + " + fastest P velocity " + num(b.vp_max) + " x tl " + num(tl) +
              "), rounded up to two digits, so that no image of the source arrives within tl";
  }
  return xl;
}

int automatic_ikmax(const SamplingBounds& b, const SamplingValues& v, std::string* reason) {
  const double ik = std::max(round_up_2(ikmax_needed(b, v)), 1.0);
  const int ikmax = static_cast<int>(std::min(ik, 1e8));
  if (reason != nullptr) {
    const NeededWavenumber k = needed_wavenumber(b, v);
    std::string why =
        b.fluid
            ? "2 pi x highest frequency " + num(k.f_max) + " / (" + num(kSurfaceWaveFactor) +
                  " x slowest S velocity or sound speed " + num(b.vs_min) + ")"
            : "2 pi x highest frequency " + num(k.f_max) + " / slowest S velocity " + num(b.vs_min);
    if (k.evanescent > 0.0) {
      why += " + ln(" + num(kIntegrandGrowth) + " / " +
             (v.uconv > 0.0 ? "uconv " + num(v.uconv) : std::string("5e-7")) +
             ") / smallest source-receiver depth difference " + num(b.dz_min);
    }
    *reason = "ikmax = " + std::to_string(ikmax) + " (auto): xl/(2 pi) x (" + why +
              ") - 0.258, rounded up to two digits: propagating waves and the evanescent "
              "waves that reach the receivers converge";
  }
  return ikmax;
}

}  // namespace lg
