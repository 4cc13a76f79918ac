// Static displacements of the six moment-tensor elements (see static_displacements.h): the
// wavenumber sum of the static kernels with Simpson weights, the large-wavenumber limit taken
// out analytically for receivers at the source depth, and the expansion into components.
#include "statics/static_displacements.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numbers>
#include <stdexcept>
#include <string>
#include <utility>

#include "statics/static_response.h"
#include "statics/static_stack.h"

namespace lg {

namespace {

using statics::DepthKernels;
using statics::DepthPlace;

// More wavenumber samples than this mean receivers far too close in depth to the source for
// their distance.
constexpr double kMaxSamples = 2.0e7;

std::string fmt(double v) {
  char b[32];
  std::snprintf(b, sizeof b, "%g", v);
  return b;
}

// Depth separations below this fraction of the model's length scale count as equal depths.
constexpr double kSameDepth = 1e-12;

double length_scale(double source_depth, const std::vector<StaticReceiver>& receivers) {
  double l = source_depth;
  for (const StaticReceiver& r : receivers) l = std::max({l, std::hypot(r.x, r.y), r.depth});
  return l;
}

bool same_depth(double a, double b, double scale) {
  return std::abs(a - b) <= kSameDepth * scale;
}

// The distance from depth z to the nearest interface (free surface included) that is not at z.
double nearest_other_interface(const std::vector<StaticLayer>& layers, double z, double scale) {
  double best = INFINITY;
  double top = 0.0;
  for (std::size_t i = 0; i < layers.size(); ++i) {
    if (!same_depth(top, z, scale)) best = std::min(best, std::abs(top - z));
    top += layers[i].thickness;
  }
  return best;
}

void check_receivers(const std::vector<StaticReceiver>& receivers, double source_depth,
                     double scale) {
  for (std::size_t i = 0; i < receivers.size(); ++i) {
    const StaticReceiver& r = receivers[i];
    const std::string name = "receiver " + std::to_string(i + 1) + ": ";
    if (!(std::isfinite(r.x) && std::isfinite(r.y) && std::isfinite(r.depth)) || r.depth < 0.0) {
      throw std::invalid_argument(name + "position (" + fmt(r.x) + ", " + fmt(r.y) + ", " +
                                  fmt(r.depth) + ") is not finite or lies above the free surface");
    }
    if (std::hypot(r.x, r.y) == 0.0 && same_depth(r.depth, source_depth, scale)) {
      throw std::invalid_argument(name + "lies at the source, where the displacement is infinite");
    }
  }
}

// Integrals over k dk of the kernels times Bessel functions of one receiver.
//  0 U_u J0   1 U_s J0   2 V_u J0'   3 V_s J0'
//  4 U_v J1   5 V_v J1'  6 V_v J1/kr 7 W_w J1'  8 W_w J1/kr
//  9 U_s J2  10 V_s J2' 11 V_s 2J2/kr 12 W_t J2' 13 W_t 2J2/kr
using Integrals = std::array<double, 14>;

// The Bessel functions of the integrands at kr = x: J0, J0', J1, J1', J1/x, J2, J2', J2/x.
struct BesselSet {
  double j0, dj0, j1, dj1, j1x, j2, dj2, j2x;
};

BesselSet bessel_set(double x) {
  double j0 = 1.0, j1 = 0.0, j1x = 0.5, j2 = 0.0, j2x = 0.0;
  if (x > 0.0) {
    j0 = ::j0(x);
    j1 = ::j1(x);
    j1x = j1 / x;
    j2 = ::jn(2, x);
    j2x = j2 / x;
  }
  return BesselSet{j0, -j1, j1, j0 - j1x, j1x, j2, j1 - 2.0 * j2x, j2x};
}

// Their derivatives in x > 0 (Bessel's equation for J1'' and J2''), for the derivatives in
// distance.
BesselSet bessel_derivatives(double x) {
  const BesselSet b = bessel_set(x);
  const double ddj1 = -b.dj1 / x - (1.0 - 1.0 / (x * x)) * b.j1;
  const double ddj2 = -b.dj2 / x - (1.0 - 4.0 / (x * x)) * b.j2;
  return BesselSet{
      b.dj0, -b.dj1, b.dj1, ddj1, (b.dj1 - b.j1x) / x, b.dj2, ddj2, (b.dj2 - b.j2x) / x};
}

// The terms of the integrands for Bessel functions b, without the factor k.
Integrals integrand(const DepthKernels& g, const BesselSet& b) {
  return Integrals{g.u_u * b.j0,  g.u_s * b.j0,      g.v_u * b.dj0, g.v_s * b.dj0,    g.u_v * b.j1,
                   g.v_v * b.dj1, g.v_v * b.j1x,     g.w_w * b.dj1, g.w_w * b.j1x,    g.u_s * b.j2,
                   g.v_s * b.dj2, 2 * g.v_s * b.j2x, g.w_t * b.dj2, 2 * g.w_t * b.j2x};
}

// The integrals of the constant large-wavenumber limit g of the kernels, for a receiver at
// horizontal distance r > 0 at the source depth: over k dk, J_m gives m/r^2, J_m' gives
// -1/r^2 and m J_m/(kr) gives m/r^2 (limits of the integrals with e^(-epsilon k)).
Integrals limit_integrals(const DepthKernels& g, double r) {
  const double c = 1.0 / (r * r);
  return Integrals{0.0,        0.0,           -g.v_u * c, -g.v_s * c,   g.u_v * c,
                   -g.v_v * c, g.v_v * c,     -g.w_w * c, g.w_w * c,    2 * g.u_s * c,
                   -g.v_s * c, 2 * g.v_s * c, -g.w_t * c, 2 * g.w_t * c};
}

// The forces' integrals over dk (their jumps carry 1/k) of one receiver:
//  0 U_r J0   1 V_r J0'   2 U_s J1   3 V_s J1'   4 V_s J1/kr   5 W_t J1'   6 W_t J1/kr
Integrals force_integrand(const DepthKernels& g, const BesselSet& b) {
  return Integrals{g.u_r * b.j0,  g.v_r * b.dj0,
                   g.u_s * b.j1,  g.v_s * b.dj1,
                   g.v_s * b.j1x, g.w_t * b.dj1,
                   g.w_t * b.j1x, 0.0,
                   0.0,           0.0,
                   0.0,           0.0,
                   0.0,           0.0};
}

// Their integrals of the large-wavenumber limit (over dk: J0 and J1 give 1/r, J0' gives -1/r,
// J1' gives 0, J1/kr gives 1/r).
Integrals force_limit_integrals(const DepthKernels& g, double r) {
  const double c = 1.0 / r;
  return Integrals{g.u_r * c, -g.v_r * c, g.u_s * c, 0.0, g.v_s * c, 0.0, g.w_t * c,
                   0.0,       0.0,        0.0,       0.0, 0.0,       0.0, 0.0};
}

// Displacement (x, y, z up) of one receiver at azimuth phi for the force f = (Fx, Fy, Fz) (z
// down), from its force integrals. The body force f delta gives [sigma_iz] = -f_i delta(x)
// delta(y): [R/k] = -Fz/(2 pi k) (m = 0); [S/k] = -(Fx, Fy)/(2 pi k) in the cos and sin
// patterns and [T/k] = (Fx, -Fy)/(2 pi k) in the sin and cos patterns (m = 1), as
// (Fx, Fy) J0 = Fx [grad(J1 cos) - z x grad(J1 sin)]/k + Fy [grad(J1 sin) + z x grad(J1 cos)]/k.
// The azimuthal factors 1, cos, sin, cos 2phi, sin 2phi; or their derivatives in phi.
struct Trig {
  double m0, c1, s1, c2, s2;
};

Trig trig(double phi, bool derivative = false) {
  const double c1 = std::cos(phi), s1 = std::sin(phi);
  const double c2 = std::cos(2.0 * phi), s2 = std::sin(2.0 * phi);
  if (derivative) return Trig{0.0, -s1, c1, -2.0 * s2, 2.0 * c2};
  return Trig{1.0, c1, s1, c2, s2};
}

// Radial, tangential and vertical (down) displacement.
struct StaticPolar {
  double ur = 0.0, uf = 0.0, uz = 0.0;
};

std::array<double, 3> cartesian(const StaticPolar& p, double phi) {
  const double c1 = std::cos(phi), s1 = std::sin(phi);
  return {p.ur * c1 - p.uf * s1, p.ur * s1 + p.uf * c1, -p.uz};
}

StaticPolar force_polar(const Integrals& in, const Trig& t, const std::array<double, 3>& f) {
  const double pi = std::numbers::pi;
  StaticPolar u;
  if (t.m0 != 0.0) {
    const double c0 = -f[2] / (2.0 * pi);
    u.uz = c0 * in[0];
    u.ur = c0 * in[1];
  }
  const double pc1 = -f[0] / (2.0 * pi), ps1 = -f[1] / (2.0 * pi);
  const double wc1 = -f[1] / (2.0 * pi), ws1 = f[0] / (2.0 * pi);
  u.uz += (pc1 * t.c1 + ps1 * t.s1) * in[2];
  u.ur += (pc1 * t.c1 + ps1 * t.s1) * in[3] + (wc1 * t.s1 - ws1 * t.c1) * in[6];
  u.uf = (ps1 * t.c1 - pc1 * t.s1) * in[4] + (wc1 * t.c1 + ws1 * t.s1) * in[5];
  return u;
}

std::array<double, 3> force_displacement(const Integrals& in, double phi,
                                         const std::array<double, 3>& f) {
  return cartesian(force_polar(in, trig(phi), f), phi);
}

struct Tensor {
  double xx = 0, yy = 0, zz = 0, xy = 0, xz = 0, yz = 0;
};

// The moment tensors of the elements (kernel/layout.h).
std::array<Tensor, kMomentTensor.count()> element_tensors() {
  std::array<Tensor, kMomentTensor.count()> t{};
  for (std::size_t e = 0; e < t.size(); ++e) {
    const auto& m = kMomentTensor.elements[e].source;  // Mxx, Myy, Mzz, Mxy, Mxz, Myz
    t[e] = Tensor{m[0], m[1], m[2], m[3], m[4], m[5]};
  }
  return t;
}

// Displacement of one receiver for tensor t, from its integrals, with azimuthal factors tr.
// The source's jumps: [U] = Mzz/(2 pi (lambda+2mu)) (m = 0); [V] and [W] = (Mxz, Myz)/(2 pi mu)
// (m = 1); [S/k] and [T/k] from the horizontal tensor with the lambda Mzz/(lambda+2mu) part
// of its diagonal removed (m = 0, 2). See docs/statics.md.
StaticPolar polar(const Integrals& in, const Trig& tr, const Tensor& t,
                  const statics::StaticMedium& src) {
  const double pi = std::numbers::pi;
  const double l2m = src.lambda + 2.0 * src.mu;
  const double a = t.xx - src.lambda * t.zz / l2m;
  const double d = t.yy - src.lambda * t.zz / l2m;
  const double b = t.xy;
  StaticPolar u;
  // m = 0
  if (tr.m0 != 0.0) {
    const double cu0 = t.zz / (2.0 * pi * l2m);
    const double cs0 = (a + d) / (4.0 * pi);
    u.uz = cu0 * in[0] + cs0 * in[1];
    u.ur = cu0 * in[2] + cs0 * in[3];
  }
  // m = 1: cos and sin patterns of P-SV and SH
  const double c1 = tr.c1, s1 = tr.s1;
  const double pc1 = t.xz / (2.0 * pi * src.mu), ps1 = t.yz / (2.0 * pi * src.mu);
  const double wc1 = t.yz / (2.0 * pi * src.mu), ws1 = -t.xz / (2.0 * pi * src.mu);
  u.uz += (pc1 * c1 + ps1 * s1) * in[4];
  u.ur += (pc1 * c1 + ps1 * s1) * in[5] + (wc1 * s1 - ws1 * c1) * in[8];
  u.uf += (ps1 * c1 - pc1 * s1) * in[6] + (wc1 * c1 + ws1 * s1) * in[7];
  // m = 2
  const double c2 = tr.c2, s2 = tr.s2;
  const double pc2 = (d - a) / (4.0 * pi), ps2 = -b / (2.0 * pi);
  const double wc2 = -b / (2.0 * pi), ws2 = (a - d) / (4.0 * pi);
  u.uz += (pc2 * c2 + ps2 * s2) * in[9];
  u.ur += (pc2 * c2 + ps2 * s2) * in[10] + (wc2 * s2 - ws2 * c2) * in[13];
  u.uf += (ps2 * c2 - pc2 * s2) * in[11] + (wc2 * c2 + ws2 * s2) * in[12];
  return u;
}

// Displacement (x, y, z up) of one receiver at azimuth phi for tensor t, from its integrals.
std::array<double, 3> displacement(const Integrals& in, double phi, const Tensor& t,
                                   const statics::StaticMedium& src) {
  return cartesian(polar(in, trig(phi), t, src), phi);
}

// du_i/dx_j (x north, y east, z up) of one receiver at distance r > 0 and azimuth phi from
// its displacement f, its derivatives in distance fr, in azimuth fa and in depth fz (the
// same as the dynamic kernel's, kernel/gradient_spectra.cpp).
StaticGradient static_gradient(const StaticPolar& f, const StaticPolar& fr, const StaticPolar& fa,
                               const StaticPolar& fz, double phi, double r) {
  const double c = std::cos(phi), s = std::sin(phi);
  // uz here is down: the up component is -uz.
  const double xr = fr.ur * c - fr.uf * s, yr = fr.ur * s + fr.uf * c;
  const double ra = fa.ur - f.uf, ta = fa.uf + f.ur;
  const double xa = ra * c - ta * s, ya = ra * s + ta * c;
  StaticGradient g{};
  g[0] = c * xr - s / r * xa;
  g[1] = s * xr + c / r * xa;
  g[3] = c * yr - s / r * ya;
  g[4] = s * yr + c / r * ya;
  g[6] = -(c * fr.uz - s / r * fa.uz);
  g[7] = -(s * fr.uz + c / r * fa.uz);
  g[2] = -(fz.ur * c - fz.uf * s);
  g[5] = -(fz.ur * s + fz.uf * c);
  g[8] = fz.uz;  // up component, up derivative: two changes of sign
  return g;
}

// At the free surface (the traction zero) or below an interface (the traction of the layer
// above, continuous), the vertical derivatives from the horizontal ones and the moduli.
void below_plane(const StaticGradient& above, const statics::StaticMedium* a,
                 const statics::StaticMedium& b, StaticGradient& g) {
  double t[3] = {0.0, 0.0, 0.0};
  if (a != nullptr) {
    t[0] = a->mu * (above[2] + above[6]);
    t[1] = a->mu * (above[5] + above[7]);
    t[2] = a->lambda * (above[0] + above[4]) + (a->lambda + 2.0 * a->mu) * above[8];
  }
  g[2] = t[0] / b.mu - g[6];
  g[5] = t[1] / b.mu - g[7];
  g[8] = (t[2] - b.lambda * (g[0] + g[4])) / (b.lambda + 2.0 * b.mu);
}

}  // namespace

// Beneath an ocean: the water (fluid layers, vs = 0, at the top) carries no shear and, in
// this static limit, no load, so the solid below it deforms as under a free surface. The model
// without the water, with the source and receivers moved up by the water's depth; receivers in
// the water get the displacement of the sea floor beneath them.
struct BeneathWater {
  std::vector<StaticLayer> layers;
  double source_depth = 0.0;
  std::vector<StaticReceiver> receivers;
};

BeneathWater beneath_water(const std::vector<StaticLayer>& layers, double source_depth,
                           const std::vector<StaticReceiver>& receivers) {
  std::size_t n = 0;
  double water = 0.0;
  while (n < layers.size() && layers[n].vs == 0.0) water += layers[n++].thickness;
  if (n == layers.size()) {
    throw std::invalid_argument("vs = 0 in the half-space: a fluid half-space is not supported");
  }
  if (!(source_depth >= water)) {
    throw std::invalid_argument("the source must lie in the solid, at or below the sea floor");
  }
  BeneathWater d;
  d.layers.assign(layers.begin() + static_cast<std::ptrdiff_t>(n), layers.end());
  d.source_depth = source_depth - water;
  for (const StaticReceiver& r : receivers) {
    d.receivers.push_back(StaticReceiver{r.x, r.y, std::max(r.depth - water, 0.0)});
  }
  return d;
}

StaticSampling choose_static_sampling(const std::vector<StaticLayer>& layers, double source_depth,
                                      const std::vector<StaticReceiver>& receivers) {
  if (!layers.empty() && layers.front().vs == 0.0) {
    const BeneathWater d = beneath_water(layers, source_depth, receivers);
    return choose_static_sampling(d.layers, d.source_depth, d.receivers);
  }
  const double scale = length_scale(source_depth, receivers);
  if (!(scale > 0.0) || !std::isfinite(scale)) {
    throw std::invalid_argument("source and receivers all at one point of the free surface");
  }
  StaticSampling s;
  s.dk = 2.0 * std::numbers::pi / (60.0 * scale);
  double kmax = 0.0;
  for (const StaticReceiver& r : receivers) {
    if (same_depth(r.depth, source_depth, scale)) {
      const double d = nearest_other_interface(layers, source_depth, scale);
      kmax = std::max(kmax, std::isfinite(d) ? 15.0 / d : 30.0 / scale);
    } else {
      kmax = std::max(kmax, 30.0 / std::abs(r.depth - source_depth));
    }
  }
  s.kmax = receivers.empty() ? 30.0 / scale : kmax;
  return s;
}

namespace {

// The integrals of every receiver (the moment's, or with `force` the forces'), and the medium
// at the source.
struct ReceiverIntegrals {
  std::vector<Integrals> in;
  std::vector<double> dist;
  statics::StaticMedium source;
  // With `gradient`: the integrals' derivatives in distance and in depth (down), and the
  // media the gradient needs: the receiver's, and for a receiver on an interface the one
  // above it (null elsewhere but at the free surface, where the traction is zero).
  std::vector<Integrals> in_r, in_z;
  std::vector<statics::StaticMedium> medium;
  std::vector<int> plane;  // 0: inside a layer; 1: at the free surface; 2: on an interface
  std::vector<statics::StaticMedium> above;
};

ReceiverIntegrals receiver_integrals(const std::vector<StaticLayer>& layers, double source_depth,
                                     const std::vector<StaticReceiver>& receivers,
                                     const StaticSampling& sampling, bool force,
                                     bool gradient = false) {
  if (!layers.empty() && layers.front().vs == 0.0) {
    const BeneathWater d = beneath_water(layers, source_depth, receivers);
    return receiver_integrals(d.layers, d.source_depth, d.receivers, sampling, force, gradient);
  }
  const statics::StaticStack stack = statics::static_stack(layers, source_depth);
  const double scale = length_scale(source_depth, receivers);
  check_receivers(receivers, source_depth, scale);
  if (gradient) {
    for (std::size_t i = 0; i < receivers.size(); ++i) {
      const std::string name = "receiver " + std::to_string(i + 1) + ": ";
      if (same_depth(receivers[i].depth, source_depth, scale)) {
        throw std::invalid_argument(name +
                                    "static strain and rotation are not computed at the "
                                    "source's depth");
      }
      if (std::hypot(receivers[i].x, receivers[i].y) == 0.0) {
        throw std::invalid_argument(name +
                                    "static strain and rotation are not computed at x = y "
                                    "= 0 (on the vertical through the source)");
      }
    }
  }
  if (receivers.empty()) return {};
  if (!(sampling.dk > 0.0) || !(sampling.kmax > 0.0) || !std::isfinite(sampling.kmax)) {
    throw std::invalid_argument("wavenumber sampling dk = " + fmt(sampling.dk) +
                                ", kmax = " + fmt(sampling.kmax) + " is not usable");
  }
  const double steps = std::ceil(sampling.kmax / sampling.dk);
  if (steps > kMaxSamples) {
    throw std::invalid_argument("the wavenumber sum would need " + fmt(steps) +
                                " samples: receivers too close in depth to the source for their "
                                "distance");
  }
  const long nk = 2 * ((static_cast<long>(steps) + 1) / 2);

  // Receivers at one depth share their kernels.
  std::vector<double> depths;
  for (const StaticReceiver& r : receivers) {
    const double z = same_depth(r.depth, source_depth, scale) ? source_depth : r.depth;
    if (std::find(depths.begin(), depths.end(), z) == depths.end()) depths.push_back(z);
  }
  std::vector<DepthPlace> places;
  for (double z : depths) places.push_back(statics::depth_place(stack, z));
  std::vector<std::size_t> slot(receivers.size());
  std::vector<bool> at_source(receivers.size());
  for (std::size_t i = 0; i < receivers.size(); ++i) {
    at_source[i] = same_depth(receivers[i].depth, source_depth, scale);
    const double z = at_source[i] ? source_depth : receivers[i].depth;
    slot[i] = static_cast<std::size_t>(std::find(depths.begin(), depths.end(), z) - depths.begin());
  }

  statics::StaticRecursion recursion(stack);
  std::vector<DepthKernels> g;

  // The kernels at the source depth tend to constants: take them at a wavenumber where every
  // positive length of the model is thousands of decay lengths.
  std::vector<DepthKernels> limit(depths.size());
  if (std::find(at_source.begin(), at_source.end(), true) != at_source.end()) {
    double shortest = scale;
    for (const statics::SubLayer& l : stack.layers) {
      if (l.thickness > 0.0) shortest = std::min(shortest, l.thickness);
    }
    for (double z : depths) {
      if (z != source_depth) shortest = std::min(shortest, std::abs(z - source_depth));
    }
    recursion.kernels(1000.0 / shortest, places, g, force);
    for (std::size_t i = 0; i < receivers.size(); ++i) {
      if (at_source[i]) limit[slot[i]] = g[slot[i]];
    }
  }

  std::vector<Integrals> sums(receivers.size(), Integrals{});
  std::vector<Integrals> sums_r(gradient ? receivers.size() : 0, Integrals{});
  std::vector<Integrals> sums_z(gradient ? receivers.size() : 0, Integrals{});
  std::vector<DepthKernels> gz;
  std::vector<double> dist(receivers.size());
  for (std::size_t i = 0; i < receivers.size(); ++i) {
    dist[i] = std::hypot(receivers[i].x, receivers[i].y);
  }
  // The moment's integrands carry k and vanish at k = 0; the forces' do not, and take the
  // sample at k = 0 too.
  for (long n = force ? 0 : 1; n <= nk; ++n) {
    const double k = static_cast<double>(n) * sampling.dk;
    // Simpson: (4 S(dk) - S(2 dk))/3 with S the plain sums of spacing dk and 2 dk.
    double w = sampling.dk;
    if (sampling.simpson) {
      w *= (n == nk || n == 0) ? 1.0 / 3.0 : (n % 2 == 1 ? 4.0 / 3.0 : 2.0 / 3.0);
    } else if (n == 0) {
      w *= 0.5;
    }
    recursion.kernels(k, places, g, force, gradient ? &gz : nullptr);
    for (std::size_t i = 0; i < receivers.size(); ++i) {
      if (gradient) {
        // Receivers off the source's depth only: no limit to take out.
        const DepthKernels& gi = g[slot[i]];
        // At k = 0 (the forces' first sample) the radial terms carry the weight 0.
        const BesselSet dr = k > 0.0 ? bessel_derivatives(k * dist[i]) : BesselSet{};
        const BesselSet b = bessel_set(k * dist[i]);
        const Integrals fr = force ? force_integrand(gi, dr) : integrand(gi, dr);
        const Integrals fz = force ? force_integrand(gz[slot[i]], b) : integrand(gz[slot[i]], b);
        // d/dr of B(kr) is k B'(kr).
        const double wr = force ? w * k : w * k * k;
        const double wz = force ? w : w * k;
        for (std::size_t j = 0; j < fr.size(); ++j) {
          sums_r[i][j] += wr * fr[j];
          sums_z[i][j] += wz * fz[j];
        }
      }
      DepthKernels gi = g[slot[i]];
      if (at_source[i]) {
        const DepthKernels& c = limit[slot[i]];
        gi.u_u -= c.u_u, gi.v_u -= c.v_u, gi.u_v -= c.u_v, gi.v_v -= c.v_v;
        gi.u_s -= c.u_s, gi.v_s -= c.v_s, gi.w_w -= c.w_w, gi.w_t -= c.w_t;
        gi.u_r -= c.u_r, gi.v_r -= c.v_r;
      }
      if (force) {
        const Integrals f = force_integrand(gi, bessel_set(k * dist[i]));
        for (std::size_t j = 0; j < f.size(); ++j) sums[i][j] += w * f[j];
      } else {
        const Integrals f = integrand(gi, bessel_set(k * dist[i]));
        for (std::size_t j = 0; j < f.size(); ++j) sums[i][j] += w * k * f[j];
      }
    }
  }

  for (std::size_t i = 0; i < receivers.size(); ++i) {
    if (!at_source[i]) continue;
    const Integrals add = force ? force_limit_integrals(limit[slot[i]], dist[i])
                                : limit_integrals(limit[slot[i]], dist[i]);
    for (std::size_t j = 0; j < add.size(); ++j) sums[i][j] += add[j];
  }
  ReceiverIntegrals out;
  out.in = std::move(sums);
  out.dist = std::move(dist);
  out.source = stack.layers[static_cast<std::size_t>(stack.source)].medium;
  if (gradient) {
    out.in_r = std::move(sums_r);
    out.in_z = std::move(sums_z);
    for (std::size_t i = 0; i < receivers.size(); ++i) {
      // A receiver at the bottom of its sub-layer takes the side below: the traction of its
      // sub-layer and the moduli of the next.
      const DepthPlace& p = places[slot[i]];
      const auto l = static_cast<std::size_t>(p.layer);
      int plane = 0;
      std::size_t below = l;
      const std::size_t upper = l;
      if (p.above_bottom == 0.0 && l + 1 < stack.layers.size()) {
        plane = 2;
        below = l + 1;
      } else if (p.below_top == 0.0 && l == 0) {
        plane = 1;
      }
      out.plane.push_back(plane);
      out.medium.push_back(stack.layers[below].medium);
      out.above.push_back(stack.layers[upper].medium);
    }
  }
  return out;
}

double azimuth(const StaticReceiver& r, double dist) {
  return dist > 0.0 ? std::atan2(r.y, r.x) : 0.0;
}

}  // namespace

std::vector<StaticDisplacement> static_displacements(const std::vector<StaticLayer>& layers,
                                                     double source_depth,
                                                     const std::vector<StaticReceiver>& receivers,
                                                     const StaticSampling& sampling) {
  const ReceiverIntegrals r = receiver_integrals(layers, source_depth, receivers, sampling, false);
  const auto tensors = element_tensors();
  std::vector<StaticDisplacement> out(r.in.size());
  for (std::size_t i = 0; i < r.in.size(); ++i) {
    const double phi = azimuth(receivers[i], r.dist[i]);
    for (std::size_t e = 0; e < tensors.size(); ++e) {
      out[i][e] = displacement(r.in[i], phi, tensors[e], r.source);
    }
  }
  return out;
}

std::vector<StaticForceDisplacement> static_force_displacements(
    const std::vector<StaticLayer>& layers, double source_depth,
    const std::vector<StaticReceiver>& receivers, const StaticSampling& sampling) {
  const ReceiverIntegrals r = receiver_integrals(layers, source_depth, receivers, sampling, true);
  std::vector<StaticForceDisplacement> out(r.in.size());
  for (std::size_t i = 0; i < r.in.size(); ++i) {
    const double phi = azimuth(receivers[i], r.dist[i]);
    for (std::size_t e = 0; e < kForce.elements.size(); ++e) {
      const auto& f = kForce.elements[e].source;  // Fx, Fy, Fz
      out[i][e] = force_displacement(r.in[i], phi, {f[0], f[1], f[2]});
    }
  }
  return out;
}

}  // namespace lg

namespace lg {

namespace {

template <std::size_t N, class Polar>
std::vector<std::array<StaticGradient, N>> gradients(const ReceiverIntegrals& r,
                                                     const std::vector<StaticReceiver>& receivers,
                                                     Polar polar_of) {
  std::vector<std::array<StaticGradient, N>> out(r.in.size());
  for (std::size_t i = 0; i < r.in.size(); ++i) {
    const double phi = azimuth(receivers[i], r.dist[i]);
    const Trig t = trig(phi);
    const Trig dt = trig(phi, true);
    for (std::size_t e = 0; e < N; ++e) {
      StaticGradient g =
          static_gradient(polar_of(r.in[i], t, e), polar_of(r.in_r[i], t, e),
                          polar_of(r.in[i], dt, e), polar_of(r.in_z[i], t, e), phi, r.dist[i]);
      if (r.plane[i] == 1) below_plane(g, nullptr, r.medium[i], g);
      if (r.plane[i] == 2) below_plane(StaticGradient(g), &r.above[i], r.medium[i], g);
      out[i][e] = g;
    }
  }
  return out;
}

}  // namespace

std::vector<std::array<StaticGradient, kElements>> static_gradients(
    const std::vector<StaticLayer>& layers, double source_depth,
    const std::vector<StaticReceiver>& receivers, const StaticSampling& sampling) {
  const ReceiverIntegrals r =
      receiver_integrals(layers, source_depth, receivers, sampling, false, true);
  const auto tensors = element_tensors();
  return gradients<kElements>(r, receivers, [&](const Integrals& in, const Trig& t, std::size_t e) {
    return polar(in, t, tensors[e], r.source);
  });
}

std::vector<std::array<StaticGradient, kForceCount>> static_force_gradients(
    const std::vector<StaticLayer>& layers, double source_depth,
    const std::vector<StaticReceiver>& receivers, const StaticSampling& sampling) {
  const ReceiverIntegrals r =
      receiver_integrals(layers, source_depth, receivers, sampling, true, true);
  return gradients<kForceCount>(r, receivers,
                                [&](const Integrals& in, const Trig& t, std::size_t e) {
                                  const auto& f = kForce.elements[e].source;
                                  return force_polar(in, t, {f[0], f[1], f[2]});
                                });
}

}  // namespace lg
