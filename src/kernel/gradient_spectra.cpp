#include "kernel/gradient_spectra.h"

namespace lg {

namespace {

// Radial, tangential and vertical values.
struct Polar {
  Cx r, t, z;
};

Polar operator-(Polar a, Polar b) {
  return Polar{a.r - b.r, a.t - b.t, a.z - b.z};
}
Polar operator+(Polar a, Polar b) {
  return Polar{a.r + b.r, a.t + b.t, a.z + b.z};
}

// The azimuthal factors the fields are linear in: 1, cos, sin, cos^2, sin^2, cos 2az,
// sin 2az; or their derivatives in the azimuth (0, -sin, cos, -sin 2az, sin 2az, -2 sin 2az,
// 2 cos 2az), which turn the fields into theirs.
struct Azimuth {
  double one, c, s, c2, s2, co2, si2;
};

Azimuth azimuth(double c, double s) {
  return Azimuth{1.0, c, s, c * c, s * s, c * c - s * s, (c + c) * s};
}
Azimuth azimuth_derivative(double c, double s) {
  const Azimuth a = azimuth(c, s);
  return Azimuth{0.0, -s, c, -a.si2, a.si2, -2.0 * a.si2, 2.0 * a.co2};
}

// The fields of the six moment-tensor elements (xy, xz, -yz, zz-xx, zz-yy, xx+yy+zz) from
// sums s[1 .. kSums], as moment_tensor_spectra forms them.
std::array<Polar, kElements> moment_fields(const Azimuth& a, const Arr<Cx, kSums>& s) {
  const Cx two = cx(2.0);
  const Cx one = cx(a.one);
  const Polar xx{cx(-a.c2) * s[1] - one * s[2] - cx(a.co2) * s[5], cx(a.si2) * (s[6] / two + s[2]),
                 cx(a.c2) * s[3] + one * s[4]};
  const Polar xy{cx(-a.si2) * (two * s[5] + s[1]), cx(-a.co2) * (two * s[2] + s[6]),
                 cx(a.si2) * s[3]};
  const Polar xz{cx(-a.c) * s[7], cx(a.s) * s[8], cx(a.c) * s[9]};
  const Polar yy{cx(a.co2) * s[5] - cx(a.s2) * s[1] - one * s[2], cx(-a.si2) * (s[6] / two + s[2]),
                 cx(a.s2) * s[3] + one * s[4]};
  const Polar yz{cx(-a.s) * s[7], cx(-a.c) * s[8], cx(a.s) * s[9]};
  const Polar zz{-(one * s[10]), Cx{}, -(one * s[11])};
  const Polar zero{Cx{}, Cx{}, Cx{}};
  return {xy, xz, zero - yz, zz - xx, zz - yy, xx + yy + zz};
}

// The fields of the forces along x, y and z (down), as force_spectra forms them.
std::array<Polar, kForceCount> force_fields(const Azimuth& a, const Arr<Cx, kForceSums>& s) {
  const Cx co = cx(a.c);
  const Cx si = cx(a.s);
  const Cx one = cx(a.one);
  return {Polar{co * s[1], -(si * s[2]), -(co * s[3])}, Polar{si * s[1], co * s[2], -(si * s[3])},
          Polar{-(one * s[4]), Cx{}, -(one * s[5])}};
}

// Sums first + 1 ... first + N of receiver ir, scaled by norm.
template <int N>
Arr<Cx, N> scaled(const WavenumberSums& sums, int ir, int first, Cx norm) {
  Arr<Cx, N> s;
  for (int m = 1; m <= N; ++m) s[m] = sums.at(ir, first + m) * norm;
  return s;
}

// The moduli of layer k up to a common factor: mu = 1 / (crho ckb2), lambda + 2 mu =
// 1 / (crho cka2) (rho beta^2 and rho alpha^2 over cnorm omega^2).
struct Moduli {
  Cx mu, m;  // mu, lambda + 2 mu
  Cx lambda() const { return m - cx(2.0) * mu; }
};
Moduli moduli(const LayerMedium& med, int k) {
  return Moduli{cx(1.0) / (med.crho[k] * med.ckb2[k]), cx(1.0) / (med.crho[k] * med.cka2[k])};
}

// du_i/dx_j of one element from its field f, its derivatives in distance fr, in azimuth fa
// and in depth fz (down), at azimuth (c, s) and distance r.
Gradient gradient(Polar f, Polar fr, Polar fa, Polar fz, double c, double s, double r) {
  const Cx co = cx(c);
  const Cx si = cx(s);
  // Cartesian components' derivatives in distance and azimuth.
  const Cx xr = fr.r * co - fr.t * si;
  const Cx yr = fr.r * si + fr.t * co;
  const Cx ra = fa.r - f.t;
  const Cx ta = fa.t + f.r;
  const Cx xa = ra * co - ta * si;
  const Cx ya = ra * si + ta * co;
  Gradient g;
  if (r != 0.0) {
    const Cx sr = cx(s / r);
    const Cx cr = cx(c / r);
    g[0] = co * xr - sr * xa;
    g[1] = si * xr + cr * xa;
    g[3] = co * yr - sr * ya;
    g[4] = si * yr + cr * ya;
    g[6] = co * fr.z - sr * fa.z;
    g[7] = si * fr.z + cr * fa.z;
  } else {
    for (const int j : {0, 1, 3, 4, 6, 7}) g[static_cast<std::size_t>(j)] = Cx{};
  }
  // z up: the derivatives in depth change sign.
  g[2] = -(fz.r * co - fz.t * si);
  g[5] = -(fz.r * si + fz.t * co);
  g[8] = -fz.z;
  return g;
}

// Replaces the vertical derivatives of g by those below a horizontal plane across which the
// traction t = (sigma_xz, sigma_yz, sigma_zz) is continuous, in a medium of moduli b.
void below(const Cx t[3], const Moduli& b, Gradient& g) {
  const auto by_mu = make_divisor(b.mu);
  g[2] = t[0] / by_mu - g[6];
  g[5] = t[1] / by_mu - g[7];
  g[8] = (t[2] - b.lambda() * (g[0] + g[4])) / make_divisor(b.m);
}

// The traction on a horizontal plane of gradient g in a medium of moduli a.
void traction(const Gradient& g, const Moduli& a, Cx t[3]) {
  t[0] = a.mu * (g[2] + g[6]);
  t[1] = a.mu * (g[5] + g[7]);
  t[2] = a.lambda() * (g[0] + g[4]) + a.m * g[8];
}

template <std::size_t N>
void fill(const std::array<Polar, N>& f, const std::array<Polar, N>& fr,
          const std::array<Polar, N>& fa, const std::array<Polar, N>& fz, double c, double s,
          double r, int surface, const LayerMedium& med, int layer, Arr<Gradient, N>& out) {
  for (std::size_t e = 0; e < N; ++e) {
    Gradient g = gradient(f[e], fr[e], fa[e], fz[e], c, s, r);
    if (surface != 0) {
      Cx t[3] = {Cx{}, Cx{}, Cx{}};
      if (surface == 2) traction(g, moduli(med, layer), t);
      below(t, moduli(med, surface == 1 ? layer : layer + 1), g);
    }
    out[e + 1] = g;
  }
}

}  // namespace

void gradient_spectra(const SourceSet& set, const Placement& p, const ReceiverPositions& r,
                      const LayerMedium& med, const WavenumberSums& sums, Spectra& out) {
  const Cx norm = med.crho[p.ls];
  out.gg.resize(static_cast<std::size_t>(p.nr + 1));
  out.fgg.resize(static_cast<std::size_t>(p.nr + 1));
  for (int ir = 1; ir <= p.nr; ++ir) {
    const auto i = static_cast<std::size_t>(ir);
    const double c = r.caz[i];
    const double s = r.saz[i];
    const double dist = p.rr[i];
    const Azimuth a = azimuth(c, s);
    const Azimuth da = azimuth_derivative(c, s);
    // 1: at the free surface; 2: on the interface below its layer.
    const int layer = p.lr[i];
    int surface = 0;
    if (layer == 1 && p.zrl[i] == 0.0) surface = 1;
    if (i < p.on_interface.size() && p.on_interface[i] != 0) surface = 2;
    if (set.moment) {
      const Arr<Cx, kSums> s0 = scaled<kSums>(sums, ir, 0, norm);
      fill(moment_fields(a, s0), moment_fields(a, scaled<kSums>(sums, ir, kMomentRadialSums, norm)),
           moment_fields(da, s0), moment_fields(a, scaled<kSums>(sums, ir, kMomentDepthSums, norm)),
           c, s, dist, surface, med, layer, out.gg[i]);
    }
    if (set.force) {
      const Arr<Cx, kForceSums> s0 = scaled<kForceSums>(sums, ir, kSums, norm);
      fill(force_fields(a, s0),
           force_fields(a, scaled<kForceSums>(sums, ir, kForceRadialSums, norm)),
           force_fields(da, s0),
           force_fields(a, scaled<kForceSums>(sums, ir, kForceDepthSums, norm)), c, s, dist,
           surface, med, layer, out.fgg[i]);
    }
  }
}

}  // namespace lg
