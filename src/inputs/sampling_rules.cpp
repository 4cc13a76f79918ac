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

}  // namespace

std::vector<SamplingWarning> sampling_warnings(const ModelParams& p, const LayerModel& layers,
                                               const SamplingGeometry& g) {
  std::vector<SamplingWarning> out;
  if (p.NC < 1 || g.x.empty()) return out;
  double vp_max = 0.0;
  double vs_min = INFINITY;
  for (int ic = 1; ic <= p.NC; ++ic) {
    vp_max = std::max(vp_max, layers.vp[ic]);
    vs_min = std::min(vs_min, layers.vs[ic]);
  }
  double r_max = 0.0;        // horizontal: surface waves and the images of the wavenumber sum
  double dz_min = INFINITY;  // the nearest receiver depth to the source's, above zero
  for (std::size_t s = 0; s < g.x.size(); ++s) {
    const double r = std::hypot(g.x[s] - p.XS, g.y[s] - p.YS);
    const double dz = std::abs(g.z[s] - g.zs);
    r_max = std::max(r_max, r);
    if (dz > 0.0) dz_min = std::min(dz_min, dz);
  }

  // TL: the slowest surface waves reach the farthest receiver within the first three quarters
  // of the record (what comes later wraps round to its start, and the end is the least exact).
  const double c_min = kSurfaceWaveFactor * vs_min;
  const double t_last = r_max / c_min;
  const double tl_needed = t_last / kRecordShare;
  if (p.TL < tl_needed) {
    out.push_back({"TL", tl_needed,
                   format("TL = %.9g is too short: the slowest surface waves (%.2g x the "
                          "slowest vs, %.4g) reach the farthest receiver (r = %.4g) at t = "
                          "%.4g, beyond the first three quarters of the record; TL should be at "
                          "least %.4g (NFREQ in proportion, to keep the highest frequency)",
                          p.TL, kSurfaceWaveFactor, c_min, r_max, t_last, tl_needed)});
  }

  // XL: the nearest periodic image of the source, XL - r away, sends nothing before TL.
  const double xl_needed = r_max + vp_max * p.TL;
  if (p.XL < xl_needed) {
    out.push_back({"XL", xl_needed,
                   format("XL = %.9g is too short: periodic images of the source arrive from "
                          "t = %.4g on, inside the record length TL = %.9g; XL should be at "
                          "least r + vp*TL = %.4g + %.4g*%.9g = %.4g",
                          p.XL, std::max((p.XL - r_max) / vp_max, 0.0), p.TL, r_max, vp_max, p.TL,
                          xl_needed)});
  }

  // IKMAX: the highest wavenumber (IKMAX + 0.258)*2*pi/XL covers the S waves of the slowest
  // layer at the highest frequency, plus the evanescent waves that still reach the receiver
  // nearest to the source's depth.
  if (p.NFREQ > 1) {
    const double f_max = (p.NFREQ - 1) / p.TL;
    const double k_waves = kTwoPi * f_max / vs_min;
    const double floor = p.UCONV > 0.0 ? p.UCONV : kFileRounding;
    const double k_evanescent =
        std::isfinite(dz_min) ? std::log(kIntegrandGrowth / floor) / dz_min : 0.0;
    const double k_needed = k_waves + k_evanescent;
    const double k_max = wavenumber_of_step(p.IKMAX, kTwoPi / p.XL);
    const double ikmax_needed = std::ceil(k_needed * p.XL / kTwoPi - 0.258);
    if (p.IKMAX < ikmax_needed) {
      std::string why = format(
          "2*pi*fmax/vs = %.4g for S waves in the slowest layer at the "
          "highest frequency %.4g",
          k_waves, f_max);
      if (k_evanescent > 0.0) {
        why += format(
            ", plus ln(%g/%s)/|zs - zr| = %.4g for the evanescent waves to the "
            "receiver nearest the source depth (%.4g from it)",
            kIntegrandGrowth, p.UCONV > 0.0 ? "UCONV" : "5e-7", k_evanescent, dz_min);
      }
      out.push_back({"IKMAX", ikmax_needed,
                     format("IKMAX = %d reaches wavenumber %.4g, below the %.4g needed (%s): the "
                            "sums cannot converge there; IKMAX should be at least %.0f (with "
                            "XL = %.9g)",
                            p.IKMAX, k_max, k_needed, why.c_str(), ikmax_needed, p.XL)});
    }
  }
  return out;
}

}  // namespace lg
