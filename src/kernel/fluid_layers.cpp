#include "kernel/fluid_layers.h"

#include "kernel/interface_values.h"
#include "kernel/moment_tensor_spectra.h"
#include "kernel/receiver_increments.h"

namespace lg {

int fluid_layer_count(const LayerModel& m) {
  int n = 0;
  while (n < m.nc && m.vs[n + 1] == 0.0) ++n;
  return n;
}

namespace {

// Fluid over fluid: acoustic coefficients of the P potentials (continuous vertical
// displacement nu*phi and pressure rho*phi); no S waves on either side.
void fluid_fluid(int ik, Cx r1, Cx r2, Cx nu1, Cx nu2, InterfaceCoefficients& o) {
  const Cx two = cx(2.0);
  const Cx a = r2 * nu1;
  const Cx b = r1 * nu2;
  const Cx den = a + b;
  o.rd[ik] = M2{(a - b) / den, Cx{}, Cx{}, Cx{}};
  o.ru[ik] = M2{(b - a) / den, Cx{}, Cx{}, Cx{}};
  o.td[ik] = M2{two * r1 * nu1 / den, Cx{}, Cx{}, Cx{}};
  o.tu[ik] = M2{two * r2 * nu2 / den, Cx{}, Cx{}, Cx{}};
  o.rdsh[ik] = Cx{};
  o.rush[ik] = Cx{};
  o.tdsh[ik] = Cx{};
  o.tush[ik] = Cx{};
}

// Fluid (1) over solid (2): the coefficients of the solid-solid interface in the limit of a
// vanishing S velocity above (its S wavenumber, hence g1, without bound; rho/B and 2 rho K/B
// of the layer above to zero), with every term carrying an S wave in the fluid left out. What
// remains enforces continuous vertical displacement and normal stress and a shear-free sea
// floor. cad2, cbr2, rhob2 are the solid's layer terms (interface_values.h).
void fluid_solid(int ik, Cx k, Cx r1, Cx r2, Cx nu1, Cx nu2, Cx g2, const LayerTerms<Cx>& s,
                 InterfaceCoefficients& o) {
  const Cx two = cx(2.0);
  const Cx two_i = two * kI;
  const Cx ca = s.cad - r1;
  const Cx cb = s.cad;
  const Cx cc = s.cbr + r1;
  const Cx cd = two * s.rhob;
  const Cx ce = cb * nu1 + cc * nu2;
  const Cx cf = cb;           // cf / g1 of the solid formula in the limit
  const Cx ch = -(cd * nu2);  // ch / g1
  const Cx cg = ca - cd * nu1 * g2;
  const Cx cdd = ce * cf + cg * ch * k;
  const Cx a2 = ca + cd * nu1 * g2;
  o.rd[ik] = M2{(cf * (cb * nu1 - cc * nu2) - ch * k * a2) / cdd, Cx{}, Cx{}, Cx{}};
  o.td[ik] = M2{two * r1 * nu1 * cf / cdd, Cx{}, two_i * r1 * nu1 * ch / cdd, Cx{}};
  o.ru[ik] = M2{-(cf * (cb * nu1 - cc * nu2) + cg * k * cd * nu2) / cdd,
                two_i * k * g2 * cb * cd * nu1 / cdd, two_i * nu2 * cb * cd * nu1 / cdd,
                -(ce * cb + ch * k * a2) / cdd};
  o.tu[ik] = M2{two * r2 * nu2 * cf / cdd, two_i * r2 * g2 * ch * k / cdd, Cx{}, Cx{}};
  // SH: the solid's SH waves meet a shear-free surface; nothing crosses into the water.
  o.rush[ik] = cx(1.0);
  o.rdsh[ik] = Cx{};
  o.tush[ik] = Cx{};
  o.tdsh[ik] = Cx{};
}

}  // namespace

void fluid_interfaces(int nfluid, const LayerModel& m, const Wavenumber& wk, const LayerMedium& med,
                      const LayerWavenumbers& w, InterfaceCoefficients& o) {
  // The free surface over water: zero pressure, the P potential reflected with -1.
  o.ru[1] = M2{cx(-1.0), Cx{}, Cx{}, Cx{}};
  o.rush[1] = Cx{};
  for (int ik = 2; ik <= nfluid; ++ik) {
    fluid_fluid(ik, cx(m.rho[ik - 1]), cx(m.rho[ik]), w.cnu[ik - 1], w.cnu[ik], o);
  }
  const int ik = nfluid + 1;  // the sea floor (a solid half-space at least lies below)
  const Cx k = cx(wk.ak2);
  const Cx r2 = cx(m.rho[ik]);
  const LayerTerms<Cx> s = layer_terms(r2, cx(2.0) * r2, med.ckb2[ik], k, cx(1.0), cx(2.0));
  fluid_solid(ik, k, cx(m.rho[ik - 1]), r2, w.cnu[ik - 1], w.cnu[ik], w.cgam[ik], s, o);
}

void place_at_sea_floor(int nfluid, const LayerModel& m, bool receivers_in_water, Placement& d) {
  if (d.ls == nfluid && d.zsl == m.hc[nfluid]) {
    d.ls = nfluid + 1;
    d.zsl = 0.0;
  }
  if (receivers_in_water) return;
  for (int ir = 1; ir <= d.nr; ++ir) {
    if (d.lr[ir] == nfluid && d.zrl[ir] == m.hc[nfluid]) {
      d.lr[ir] = nfluid + 1;
      d.zrl[ir] = 0.0;
    }
  }
}

void add_pressure_increments(Workspace& w, std::vector<double>& re, std::vector<double>& im) {
  const Placement& d = w.placement;
  const int nfluid = w.medium.nfluid;
  SourceTransfers f;
  source_transfers(d.ls, transfer_range(d), w.transfers, f);
  const SourceLayerTerms terms = source_layer_terms(d, w.wavenumber, w.medium, w.vertical);
  const Cx by_k2 = cx(1.0 / w.wavenumber.ak2);
  const auto slots = static_cast<std::size_t>(d.nr + 1);
  for (int ir = 1; ir <= d.nr; ++ir) {
    if (d.lr[ir] > nfluid) continue;
    const DepthTerms t =
        receiver_depth_terms(d, ir, w.vertical, w.stacks, f, w.source_amplitudes, terms);
    const BesselFactors& b = w.bessel;
    const Cx q[kPressureSums] = {cx(b.bkj2[ir]) * t.cu, cx(b.bj1r[ir]) * t.cu,
                                 cx(b.bj1[ir]) * t.cu3, cx(b.bkj0[ir]) * (t.c10 * by_k2)};
    for (std::size_t m = 0; m < kPressureSums; ++m) {
      const std::size_t at = m * slots + static_cast<std::size_t>(ir);
      re[at] += q[m].re;
      im[at] += q[m].im;
    }
  }
}

void pressure_spectra(const Workspace& w, const std::vector<double>& re,
                      const std::vector<double>& im, PerReceiver<Arr<Cx, kElements>>& pressure) {
  const Placement& d = w.placement;
  const auto slots = static_cast<std::size_t>(d.nr + 1);
  pressure.assign(slots, Arr<Cx, kElements>{});
  for (int ir = 1; ir <= d.nr; ++ir) {
    if (d.lr[ir] > w.medium.nfluid) continue;
    // The displacement in the water is the gradient of a potential Phi (u = grad Phi, so that
    // div u = -(omega/alpha)^2 Phi), and p = -rho alpha^2 div u = rho omega^2 Phi.
    Cx q[kPressureSums];
    for (std::size_t m = 0; m < kPressureSums; ++m) {
      const std::size_t at = m * slots + static_cast<std::size_t>(ir);
      q[m] = Cx{re[at], im[at]};
    }
    const double c = w.receivers.caz[ir];
    const double s = w.receivers.saz[ir];
    const Cx xx = -(cx(c * c) * q[0] + q[1]);
    const Cx yy = -(cx(s * s) * q[0] + q[1]);
    const Cx zz = q[3];
    const Cx xy = -(cx((c + c) * s) * q[0]);
    const Cx xz = -(cx(c) * q[2]);
    const Cx yz = -(cx(s) * q[2]);
    const Cx scale = cx(w.model.rho[d.lr[ir]]) * w.frequency.omega2 * w.medium.crho[d.ls];
    auto& p = pressure[static_cast<std::size_t>(ir)];
    p[1] = xy * scale;
    p[2] = xz * scale;
    p[3] = -yz * scale;
    p[4] = (zz - xx) * scale;
    p[5] = (zz - yy) * scale;
    p[6] = (xx + yy + zz) * scale;
  }
}

FrequencyOutcome compute_frequency_with_pressure(Workspace& w, double freq, const Sampling& s,
                                                 const BesselTable* table,
                                                 PerReceiver<Arr<Cx, kElements>>& pressure) {
  start_frequency(w, freq, s);
  const auto n = static_cast<std::size_t>(kPressureSums * (w.placement.nr + 1));
  std::vector<double> re(n, 0.0);
  std::vector<double> im(n, 0.0);
  int ik = 0;
  bool converged = false;
  bool ended = false;
  for (ik = 0; ik <= s.ikmax; ++ik) {
    const bool test = step_is_tested(ik, s.ikmax);
    const double* row = table != nullptr && ik < table->rows() ? table->row(ik) : nullptr;
    converged = wavenumber_step(w, ik, s, row, test);
    add_pressure_increments(w, re, im);
    if (step_ends_sum(converged, ik)) {
      ended = true;
      break;
    }
  }
  moment_tensor_spectra(w.placement, w.receivers, w.medium, w.sums, w.spectra);
  pressure_spectra(w, re, im, pressure);
  return FrequencyOutcome{ik, ended || converged};
}

}  // namespace lg
