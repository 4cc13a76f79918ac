// Small helpers shared by the kernel tests: a context with a given model and receivers.
#pragma once

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

#include "kernel/wavenumber_loop.h"
#include "kernel/records.h"
#include "kernel/source_receiver_placement.h"

namespace lg::testing {

struct Layer {
  double hc, vp, vs, rho, qp, qs;
};

struct Receiver {
  double x, y, z;
};

// A context after initda, ready for set_frequency and the stages.
inline std::unique_ptr<Context> make_context(const std::vector<Layer>& layers,
                                             const std::vector<Receiver>& receivers,
                                             double zs, double uconv = 0.0, double xs = 0.0,
                                             double ys = 0.0) {
  auto c = std::make_unique<Context>();
  c->dim1d.NC = static_cast<int>(layers.size());
  for (std::size_t i = 0; i < layers.size(); ++i) {
    const int ic = static_cast<int>(i) + 1;
    c->dim1e.hc[ic] = layers[i].hc;
    c->dim1e.vp[ic] = layers[i].vp;
    c->dim1e.vs[ic] = layers[i].vs;
    c->dim1e.rho[ic] = layers[i].rho;
    c->dim1e.qp[ic] = layers[i].qp;
    c->dim1e.qs[ic] = layers[i].qs;
  }
  c->dim1d.NR = static_cast<int>(receivers.size());
  for (std::size_t i = 0; i < receivers.size(); ++i) {
    const int ir = static_cast<int>(i) + 1;
    c->dim1b.xr[ir] = receivers[i].x;
    c->dim1b.yr[ir] = receivers[i].y;
    c->dim1b.zr[ir] = receivers[i].z;
  }
  c->dim1c.XS = xs;
  c->dim1c.YS = ys;
  c->dim1c.ZS = zs;
  c->dim1a.UCONV = uconv;
  initda(*c);
  return c;
}

inline Sampling sampling(double tl, double aw, double xl, int ikmax) {
  Sampling s;
  s.aw = -(3.14159265359 * aw) / tl;
  s.xl = xl;
  s.pil = 6.28318530718 / xl;
  s.ikmax = ikmax;
  return s;
}

// Sets the wavenumber of step ik as the driver does.
inline void set_wavenumber(Context& c, int ik, const Sampling& s) {
  c.dim1a.ak = (static_cast<double>(ik) + static_cast<double>(0.258f)) * s.pil;
  c.dim1a.ak2 = c.dim1a.ak * c.dim1a.ak;
  c.dim1a.iconv = true;
}

inline double dist(Cx a, Cx b) { return cabs(a - b); }

// A crustal model used by several tests.
inline std::vector<Layer> crust() {
  return {{2.0, 4.5, 2.6, 2.4, 200, 100},  {4.0, 5.5, 3.15, 2.6, 300, 150},
          {10.0, 6.0, 3.45, 2.7, 400, 200}, {12.0, 6.7, 3.85, 2.9, 500, 250},
          {10.0, 7.2, 4.1, 3.1, 600, 300},  {0.0, 7.9, 4.5, 3.3, 800, 400}};
}

}  // namespace lg::testing
