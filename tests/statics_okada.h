// Closed-form surface displacements of point dislocations in a homogeneous half-space (Okada,
// 1985, point-source formulas), combined into the six moment-tensor elements through
// M = lambda (nu . s) I + mu (nu s + s nu): the independent reference of the static tests.
#pragma once

#include <array>
#include <cmath>
#include <numbers>

#include "kernel/layout.h"
#include "statics/static_displacements.h"

namespace statics_test {

// Surface displacement (x along strike, y to its left, z up) of a unit-potency point source
// at depth d with dip delta; kind 0 strike-slip, 1 dip-slip, 2 tensile.
inline std::array<double, 3> okada_point(int kind, double x, double y, double d, double delta,
                                         double lambda, double mu) {
  const double pi = std::numbers::pi;
  const double sd = std::sin(delta), cd = std::cos(delta);
  const double p = y * cd + d * sd;
  const double q = y * sd - d * cd;
  const double r = std::sqrt(x * x + y * y + d * d);
  const double r3 = r * r * r, r5 = r3 * r * r;
  const double rd = r + d;
  const double c = mu / (lambda + mu);
  const double i1 = c * y * (1.0 / (r * rd * rd) - x * x * (3.0 * r + d) / (r3 * rd * rd * rd));
  const double i2 = c * x * (1.0 / (r * rd * rd) - y * y * (3.0 * r + d) / (r3 * rd * rd * rd));
  const double i3 = c * x / r3 - i2;
  const double i4 = c * (-x * y * (2.0 * r + d) / (r3 * rd * rd));
  const double i5 = c * (1.0 / (r * rd) - x * x * (2.0 * r + d) / (r3 * rd * rd));
  const double f = 1.0 / (2.0 * pi);
  switch (kind) {
    case 0:
      return {-f * (3 * x * x * q / r5 + i1 * sd), -f * (3 * x * y * q / r5 + i2 * sd),
              -f * (3 * x * d * q / r5 + i4 * sd)};
    case 1:
      return {-f * (3 * x * p * q / r5 - i3 * sd * cd), -f * (3 * y * p * q / r5 - i1 * sd * cd),
              -f * (3 * d * p * q / r5 - i5 * sd * cd)};
    default:
      return {f * (3 * x * q * q / r5 - i3 * sd * sd), f * (3 * y * q * q / r5 - i1 * sd * sd),
              f * (3 * d * q * q / r5 - i5 * sd * sd)};
  }
}

using Sym = std::array<double, 6>;  // xx, yy, zz, xy, xz, yz (x north, y east, z down)

struct PointDislocation {
  int kind;
  double strike, dip;  // radians, strike from x towards y
};

// Moment tensor per unit potency: normal nu (from the foot wall into the hanging wall) and
// slip s of the hanging wall, rake 0 (strike-slip) or 90 degrees (dip-slip), or s = nu.
inline Sym moment_of(const PointDislocation& s, double lambda, double mu) {
  const double st = std::sin(s.strike), ct = std::cos(s.strike);
  const double sd = std::sin(s.dip), cd = std::cos(s.dip);
  const std::array<double, 3> nu{-sd * st, sd * ct, -cd};
  std::array<double, 3> u{};
  if (s.kind == 0) u = {ct, st, 0.0};
  if (s.kind == 1) u = {cd * st, -cd * ct, -sd};
  if (s.kind == 2) u = nu;
  const double dot = nu[0] * u[0] + nu[1] * u[1] + nu[2] * u[2];
  auto m = [&](int i, int j) {
    return lambda * dot * (i == j) + mu * (nu[i] * u[j] + u[i] * nu[j]);
  };
  return {m(0, 0), m(1, 1), m(2, 2), m(0, 1), m(0, 2), m(1, 2)};
}

// Surface displacement (x north, y east, z up) at (x, y) of dislocation s at depth d.
inline std::array<double, 3> dislocation_displacement(const PointDislocation& s, double x, double y,
                                                      double d, double lambda, double mu) {
  const double st = std::sin(s.strike), ct = std::cos(s.strike);
  const double xo = x * ct + y * st;
  const double yo = x * st - y * ct;
  const std::array<double, 3> u = okada_point(s.kind, xo, yo, d, s.dip, lambda, mu);
  return {u[0] * ct + u[1] * st, u[0] * st - u[1] * ct, u[2]};
}

// The six elements (xy, xz, -yz, zz-xx, zz-yy, xx+yy+zz) at the surface point (x, y) for a
// source at depth d, each as the combination of six dislocations whose tensors make it up.
inline lg::StaticDisplacement okada_elements(double x, double y, double d, double lambda,
                                             double mu) {
  const double deg = std::numbers::pi / 180.0;
  const std::array<PointDislocation, 6> basis{{{0, 20 * deg, 50 * deg},
                                               {1, 20 * deg, 50 * deg},
                                               {2, 20 * deg, 50 * deg},
                                               {0, 115 * deg, 75 * deg},
                                               {1, 115 * deg, 75 * deg},
                                               {2, 115 * deg, 10 * deg}}};
  // Solve A w = M for each element, A's columns the basis tensors (Gauss-Jordan).
  std::array<std::array<double, 12>, 6> a{};
  for (int i = 0; i < 6; ++i) {
    const Sym m = moment_of(basis[static_cast<std::size_t>(i)], lambda, mu);
    for (int r = 0; r < 6; ++r)
      a[static_cast<std::size_t>(r)][static_cast<std::size_t>(i)] = m[static_cast<std::size_t>(r)];
  }
  // The elements' tensors as the layout declares them (in the order of Sym).
  for (std::size_t e = 0; e < lg::kElements; ++e) {
    for (std::size_t r = 0; r < 6; ++r) a[r][6 + e] = lg::kMomentTensor.elements[e].source[r];
  }
  for (std::size_t c = 0; c < 6; ++c) {
    std::size_t p = c;
    for (std::size_t r = c + 1; r < 6; ++r) {
      if (std::abs(a[r][c]) > std::abs(a[p][c])) p = r;
    }
    std::swap(a[c], a[p]);
    const double piv = a[c][c];
    for (double& v : a[c]) v /= piv;
    for (std::size_t r = 0; r < 6; ++r) {
      if (r == c) continue;
      const double f = a[r][c];
      for (std::size_t j = 0; j < 12; ++j) a[r][j] -= f * a[c][j];
    }
  }
  lg::StaticDisplacement out{};
  for (std::size_t i = 0; i < 6; ++i) {
    const std::array<double, 3> u = dislocation_displacement(basis[i], x, y, d, lambda, mu);
    for (std::size_t e = 0; e < lg::kElements; ++e) {
      for (std::size_t c = 0; c < lg::kComponents; ++c) out[e][c] += a[i][6 + e] * u[c];
    }
  }
  return out;
}

}  // namespace statics_test
