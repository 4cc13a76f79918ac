// Analytic frequency-domain Green's functions of a homogeneous, unbounded, anelastic solid.
//
// Transform convention: U(w) = integral u(t) exp(-i w t) dt, so that a wave of complex
// wavenumber k = w / c travelling a distance r carries exp(-i k r) (outgoing and decaying for
// Im w < 0 or Im c > 0). All formulas are written in terms of the angular frequency w and the
// complex P and S wavenumbers ka = w / alpha, kb = w / beta, so attenuation enters only
// through the complex velocities (the moduli are rho*alpha^2 and rho*beta^2).
//
// Coordinates are Cartesian with the third axis pointing DOWN; d = x - xi is the vector from
// the source xi to the receiver x. The displacement is that of an impulsive source: a unit
// force delta(t) for the force Green's function, a moment tensor M delta(t) for the
// moment-tensor field (u_n = M_pq dG_np / dxi_q, derivative with respect to the source point).
#pragma once

#include <array>
#include <cmath>
#include <complex>

namespace wholespace {

using C = std::complex<double>;
using Vec3 = std::array<double, 3>;
using Tensor3 = std::array<std::array<double, 3>, 3>;

inline constexpr double kPi = 3.14159265358979323846;

struct Medium {
  C omega;     // complex angular frequency
  C ka;        // complex P wavenumber omega / alpha
  C kb;        // complex S wavenumber omega / beta
  double rho;  // density
};

// Complex, logarithmically dispersive velocity of a layer of the model: one damping factor
// built from the sum of both quality factors, a normalisation 1/(1 + 1/(4 q^2)), and the
// dispersion term 1/(1 - ln|w|/(pi q)) referred to 1 rad per time unit. `pi` is the value of
// pi the model uses for the dispersion term.
inline C complex_velocity(double v, double q, double qp_plus_qs, C omega, double pi) {
  const double xlnw = std::log(std::abs(omega)) / pi;
  const C ccv = C(1.0, 1.0 / qp_plus_qs);
  return v * ccv / (1.0 + 0.25 / (q * q)) / (1.0 - xlnw / q);
}

// Force Green's function G_np (displacement n per unit impulsive force p) in the classical
// form of far-field P, far-field S and near-field terms; the near-field time integral
// integral_{r/alpha}^{r/beta} tau exp(-i w tau) d tau is done in closed form.
inline C force_green(const Medium& m, const Vec3& d, int n, int p) {
  const double r = std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
  const double gn = d[n] / r;
  const double gp = d[p] / r;
  const double delta = n == p ? 1.0 : 0.0;
  const C i(0.0, 1.0);
  const C w2 = m.omega * m.omega;
  const C ea = std::exp(-i * m.ka * r);
  const C eb = std::exp(-i * m.kb * r);
  const C near = (eb * (1.0 + i * m.kb * r) - ea * (1.0 + i * m.ka * r)) / w2;
  // 1/(rho alpha^2) = ka^2/(rho w^2), likewise for S.
  const C far_p = m.ka * m.ka / w2 * ea / r;
  const C far_s = m.kb * m.kb / w2 * eb / r;
  return ((3.0 * gn * gp - delta) / (r * r * r) * near + gn * gp * far_p -
          (gn * gp - delta) * far_s) /
         (4.0 * kPi * m.rho);
}

// Displacement u_n = M_pq dG_np/dxi_q of a moment tensor M (symmetric) with impulsive
// history, in closed form. With G_np = [kb^2 delta_np g_b + d_n d_p (g_b - g_a)]/(4 pi rho w^2),
// g = exp(-i k r)/r, and d/dxi = -d/dx:
//   u = -[(kb^2 g_b' + 2 C1) M.gamma + gamma (gamma.M.gamma C3 + tr(M) C1)]/(4 pi rho w^2)
// where, for f = g_b - g_a, C1 = (f'' - f'/r)/r and C3 = f''' - 3 f''/r + 3 f'/r^2 are the
// radial factors of the third derivative d_n d_p d_q f.
inline std::array<C, 3> moment_displacement(const Medium& m, const Vec3& d, const Tensor3& mt) {
  const double r = std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
  const Vec3 g{d[0] / r, d[1] / r, d[2] / r};
  const C i(0.0, 1.0);
  const double r2 = r * r;
  const double r4 = r2 * r2;

  // Radial factors of exp(-i k r)/r: first derivative, C1 and C3 (see above).
  struct Radial {
    C d1, c1, c3;
  };
  auto radial = [&](C k) {
    const C e = std::exp(-i * k * r);
    const C kr = k * r;
    const C kr2 = kr * kr;
    return Radial{-e * (1.0 + i * kr) / r2, e * (3.0 + 3.0 * i * kr - kr2) / r4,
                  e * (-15.0 - 15.0 * i * kr + 6.0 * kr2 + i * kr2 * kr) / r4};
  };
  const Radial a = radial(m.ka);
  const Radial b = radial(m.kb);
  const C c1 = b.c1 - a.c1;
  const C c3 = b.c3 - a.c3;

  std::array<double, 3> mg{};
  double gmg = 0.0;
  for (int n = 0; n < 3; ++n) {
    for (int q = 0; q < 3; ++q) mg[n] += mt[n][q] * g[q];
    gmg += g[n] * mg[n];
  }
  const double trace = mt[0][0] + mt[1][1] + mt[2][2];

  const C scale = -1.0 / (4.0 * kPi * m.rho * m.omega * m.omega);
  const C fm = m.kb * m.kb * b.d1 + 2.0 * c1;
  const C fg = gmg * c3 + trace * c1;
  std::array<C, 3> u;
  for (int n = 0; n < 3; ++n) u[n] = scale * (fm * mg[n] + fg * g[n]);
  return u;
}

}  // namespace wholespace
