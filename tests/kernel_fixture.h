// Small helpers shared by the kernel tests: a workspace with a given model and receivers, and
// the stages of a step run on it.
#pragma once

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

#include "kernel/bessel_factors.h"
#include "kernel/interface_coefficients.h"
#include "kernel/records.h"
#include "kernel/source_layer_amplitudes.h"
#include "kernel/source_receiver_placement.h"
#include "kernel/stack_responses.h"
#include "kernel/vertical_wavenumbers.h"
#include "kernel/wavenumber_loop.h"

namespace lg::testing {

struct Layer {
  double hc, vp, vs, rho, qp, qs;
};

struct Receiver {
  double x, y, z;
};

// A workspace after the placement of source and receivers, ready for start_frequency and the
// stages.
inline std::unique_ptr<Workspace> make_context(const std::vector<Layer>& layers,
                                               const std::vector<Receiver>& receivers, double zs,
                                               double xs = 0.0, double ys = 0.0) {
  auto c = std::make_unique<Workspace>();
  LayerModel m;
  m.nc = static_cast<int>(layers.size());
  for (std::size_t i = 0; i < layers.size(); ++i) {
    const int ic = static_cast<int>(i) + 1;
    m.hc[ic] = layers[i].hc;
    m.vp[ic] = layers[i].vp;
    m.vs[ic] = layers[i].vs;
    m.rho[ic] = layers[i].rho;
    m.qp[ic] = layers[i].qp;
    m.qs[ic] = layers[i].qs;
  }
  ReceiverPositions given(static_cast<int>(receivers.size()));
  for (std::size_t i = 0; i < receivers.size(); ++i) {
    const int ir = static_cast<int>(i) + 1;
    given.xr[ir] = receivers[i].x;
    given.yr[ir] = receivers[i].y;
    given.zr[ir] = receivers[i].z;
  }
  c->source = SourcePosition{xs, ys, zs};
  c->model = layer_thicknesses(m);
  place_source_and_receivers(c->model, c->source, given, c->receivers, c->placement);
  return c;
}

inline Sampling sampling(double tl, double aw, double xl, int ikmax, double uconv = 0.0) {
  return make_sampling(tl, aw, xl, ikmax, uconv);
}

// Sets the wavenumber of step ik as the wavenumber loop does.
inline void set_wavenumber(Workspace& c, int ik, const Sampling& s) {
  c.wavenumber.ak = wavenumber_of_step(ik, s.pil);
  c.wavenumber.ak2 = c.wavenumber.ak * c.wavenumber.ak;
}

// The stages of a wavenumber step that depend on the wavenumber: Bessel factors and vertical
// wavenumbers; then the interface coefficients, the stack responses and the source-layer
// amplitudes.
inline void wavenumber_values(Workspace& c) {
  bessel_factors(c.placement, c.wavenumber, c.bessel);
  vertical_wavenumbers(c.model.nc, c.wavenumber, c.medium, c.vertical);
}
inline void interfaces(Workspace& c) {
  interface_coefficients(c.model, c.wavenumber, c.medium, c.vertical, c.interfaces);
}
inline void stacks(Workspace& c) {
  stack_responses(c.model.nc, c.interfaces, c.stacks, c.transfers);
}
inline void source_amplitudes(Workspace& c) {
  source_layer_amplitudes(c.placement, c.vertical, c.stacks, c.source_amplitudes);
}

inline double dist(Cx a, Cx b) {
  return cabs(a - b);
}

// A crustal model used by several tests.
inline std::vector<Layer> crust() {
  return {{2.0, 4.5, 2.6, 2.4, 200, 100},   {4.0, 5.5, 3.15, 2.6, 300, 150},
          {10.0, 6.0, 3.45, 2.7, 400, 200}, {12.0, 6.7, 3.85, 2.9, 500, 250},
          {10.0, 7.2, 4.1, 3.1, 600, 300},  {0.0, 7.9, 4.5, 3.3, 800, 400}};
}

}  // namespace lg::testing
