// Elastic media, sub-layers and interface matrices of the static recursion (see static_stack.h);
// the derivation of the matrices is in docs/statics.md.
#include "statics/static_stack.h"

#include <cmath>
#include <cstdio>
#include <stdexcept>
#include <string>

namespace lg::statics {

namespace {

std::string fmt(double v) {
  char b[32];
  std::snprintf(b, sizeof b, "%g", v);
  return b;
}

}  // namespace

StaticMedium static_medium(double vp, double vs, double rho) {
  StaticMedium s;
  s.mu = rho * vs * vs;
  s.lambda = rho * vp * vp - 2.0 * s.mu;
  s.m = s.mu / (s.lambda + s.mu);
  s.inv_delta = 1.0 + 2.0 * s.m;
  const double a = 1.0 + s.m;  // (lambda+2mu)/(lambda+mu)
  const double mu2 = 2.0 * s.mu;
  // Columns at their reference depth: e^(-kz) (A+), (1/delta + kz) e^(-kz) (B+), e^(kz) (A-),
  // (1/delta - kz) e^(kz) (B-); see docs/statics.md.
  s.e0 = Mat4{{{-1.0, s.inv_delta, 1.0, s.inv_delta},
               {1.0, 0.0, 1.0, 0.0},
               {mu2, -mu2 * a, mu2, mu2 * a},
               {-mu2, mu2 * s.m, mu2, mu2 * s.m}}};
  s.e0_inv = inverse(s.e0);
  s.sh0 = Mat2{{{1.0, 1.0}, {-s.mu, s.mu}}};
  s.sh0_inv = inverse(s.sh0);
  return s;
}

StaticStack static_stack(const std::vector<StaticLayer>& layers, double source_depth) {
  if (layers.empty()) throw std::invalid_argument("no layers given");
  if (!std::isfinite(source_depth) || source_depth < 0.0) {
    throw std::invalid_argument("source depth " + fmt(source_depth) +
                                " is not a finite depth at or below the free surface");
  }
  StaticStack s;
  s.source_depth = source_depth;
  double top = 0.0;
  const std::size_t n = layers.size();
  for (std::size_t i = 0; i < n; ++i) {
    const StaticLayer& l = layers[i];
    const std::string name = "layer " + std::to_string(i + 1) + ": ";
    const bool last = i + 1 == n;
    if (!(std::isfinite(l.vp) && std::isfinite(l.vs) && std::isfinite(l.rho)) || l.vs <= 0.0 ||
        l.rho <= 0.0) {
      throw std::invalid_argument(name + "vp, vs and rho must be finite and vs, rho positive");
    }
    if (3.0 * l.vp * l.vp <= 4.0 * l.vs * l.vs) {
      throw std::invalid_argument(name + "vp = " + fmt(l.vp) + " and vs = " + fmt(l.vs) +
                                  " give a bulk modulus that is not positive");
    }
    if (!last && !(std::isfinite(l.thickness) && l.thickness > 0.0)) {
      throw std::invalid_argument(name + "thickness " + fmt(l.thickness) +
                                  " is not positive (only the last layer is a half-space)");
    }
    const StaticMedium medium = static_medium(l.vp, l.vs, l.rho);
    const double bottom = last ? INFINITY : top + l.thickness;
    // The source belongs to the layer whose depth range (top, bottom] holds it, the first
    // layer also taking a source at the free surface.
    const bool holds_source = (source_depth > top || i == 0) && source_depth <= bottom;
    if (holds_source && s.source == 0) {
      s.layers.push_back(SubLayer{top, source_depth - top, medium});
      s.source = static_cast<int>(s.layers.size());
      s.layers.push_back(SubLayer{source_depth, last ? 0.0 : bottom - source_depth, medium});
    } else {
      s.layers.push_back(SubLayer{top, last ? 0.0 : l.thickness, medium});
    }
    top = bottom;
  }
  for (std::size_t l = 0; l + 1 < s.layers.size(); ++l) {
    const StaticMedium& a = s.layers[l].medium;
    const StaticMedium& b = s.layers[l + 1].medium;
    s.q_down.push_back(a.e0_inv * b.e0);
    s.q_up.push_back(b.e0_inv * a.e0);
    s.sh_down.push_back(a.sh0_inv * b.sh0);
    s.sh_up.push_back(b.sh0_inv * a.sh0);
  }
  // Zero traction at the free surface: rows R/k and S/k of E0 [d; u] vanish.
  const Mat4& e = s.layers.front().medium.e0;
  const Mat2 td = block(e, 2, 0);
  const Mat2 tu = block(e, 2, 2);
  const Mat2 r = inverse(td) * tu;
  s.free_surface = Mat2{{{-r[0][0], -r[0][1]}, {-r[1][0], -r[1][1]}}};
  const Mat2& sh = s.layers.front().medium.sh0;
  s.sh_free_surface = -sh[1][1] / sh[1][0];
  return s;
}

int receiver_layer(const StaticStack& s, double depth) {
  const int n = static_cast<int>(s.layers.size());
  if (depth <= s.source_depth) {
    int l = 0;
    while (l + 1 < s.source && s.layers[static_cast<std::size_t>(l + 1)].top <= depth) ++l;
    return l;
  }
  int l = s.source;
  while (l + 1 < n && s.layers[static_cast<std::size_t>(l + 1)].top < depth) ++l;
  return l;
}

}  // namespace lg::statics
