#include "kernel/interface_coefficients.h"

#include <cmath>

#include "kernel/constants.h"

namespace lg {

Cx layer_phase(Cx ai, Cx kz, double h) {
  const Cx cdeph = cexp(-(ai * kz) * cx(h));
  double rdeph = cdeph.re;
  const double adeph = cdeph.im;
  if (std::fabs(rdeph) < 1e-50) rdeph = 0.0;
  return round_to_float(Cx{rdeph, adeph});
}

void interface_coefficients(const LayerModel& m, const Wavenumber& wk, const LayerMedium& med,
                            const LayerWavenumbers& w, InterfaceCoefficients& o) {
  const Cx ai = kI;
  const Cx k = cx(wk.ak2);
  const int nc = m.nc;
  const Cx one = cx(1.0);
  const Cx two = cx(2.0);
  const Cx four = cx(4.0);
  const Cx two_i = two * ai;
  const Cx four_i = four * ai;

  // Free surface.
  {
    const Cx b = med.ckb2[1];
    const Cx nu = w.cnu[1];
    const Cx gam = w.cgam[1];
    const Cx cf1 = b - two * k;
    const Cx cf2 = cf1 * cf1;
    const Cx cf3 = four * nu * k * gam;
    const Divisor cdd(cf2 + cf3);
    M2& ru = o.ru[1];
    ru.m11 = (cf3 - cf2) / cdd;
    ru.m21 = four_i * nu * cf1 / cdd;
    ru.m22 = (cf3 - cf2) / cdd;
    ru.m12 = four_i * k * gam * cf1 / cdd;
    o.tu[1] = M2{};
    o.rush[1] = one;
    o.tush[1] = Cx{};
  }

  // Terms of one layer that enter both interfaces of the layer, formed once.
  struct LayerTerms {
    Cx cb;    // K / B
    Cx cad;   // rho (1 - 2 K/B)
    Cx cbr;   // 2 rho K/B
    Cx rhob;  // rho / B
  };
  PerLayer<LayerTerms> lt;
  for (int ic = 1; ic <= nc; ++ic) {
    const Cx r = cx(m.rho[ic]);
    const Divisor b(med.ckb2[ic]);
    lt[ic].cb = k / b;
    lt[ic].cad = r * (one - two * lt[ic].cb);
    lt[ic].cbr = two * r * lt[ic].cb;
    lt[ic].rhob = r / b;
  }

  for (int ik = 2; ik <= nc; ++ik) {
    const Cx r1 = cx(m.rho[ik - 1]);
    const Cx r2 = cx(m.rho[ik]);
    const Cx nu1 = w.cnu[ik - 1];
    const Cx nu2 = w.cnu[ik];
    const Cx g1 = w.cgam[ik - 1];
    const Cx g2 = w.cgam[ik];
    const LayerTerms& l1 = lt[ik - 1];
    const LayerTerms& l2 = lt[ik];

    const Cx ca1d = l1.cad;
    const Cx ca2d = l2.cad;
    const Cx ca = ca2d - ca1d;
    const Cx cb = l1.cbr + ca2d;
    const Cx cc = l2.cbr + ca1d;
    const Cx cd = two * (l2.rhob - l1.rhob);
    const Cx ce = cb * nu1 + cc * nu2;
    const Cx cf = cb * g1 + cc * g2;
    const Cx cg = ca - cd * nu1 * g2;
    const Cx ch = ca - cd * nu2 * g1;
    const Divisor cdd(ce * cf + cg * ch * k);

    M2& rd = o.rd[ik];
    rd.m11 = (cf * (cb * nu1 - cc * nu2) - ch * k * (ca + cd * nu1 * g2)) / cdd;
    rd.m21 = two_i * nu1 * (ca * cb + cc * cd * nu2 * g2) / cdd;
    rd.m12 = two_i * k * g1 * (ca * cb + cc * cd * nu2 * g2) / cdd;
    rd.m22 = (ce * (cb * g1 - cc * g2) - cg * k * (ca + cd * nu2 * g1)) / cdd;
    M2& td = o.td[ik];
    td.m11 = two * r1 * nu1 * cf / cdd;
    td.m21 = two_i * r1 * nu1 * ch / cdd;
    td.m12 = two_i * r1 * g1 * cg * k / cdd;
    td.m22 = two * r1 * g1 * ce / cdd;
    M2& ru = o.ru[ik];
    ru.m11 = -(cf * (cb * nu1 - cc * nu2) + cg * k * (ca + cd * nu2 * g1)) / cdd;
    ru.m21 = two_i * nu2 * (ca * cc + cb * cd * nu1 * g1) / cdd;
    ru.m12 = two_i * k * g2 * (ca * cc + cb * cd * nu1 * g1) / cdd;
    ru.m22 = -(ce * (cb * g1 - cc * g2) + ch * k * (ca + cd * nu1 * g2)) / cdd;
    M2& tu = o.tu[ik];
    tu.m11 = two * r2 * nu2 * cf / cdd;
    tu.m21 = two_i * r2 * nu2 * cg / cdd;
    tu.m12 = two_i * r2 * g2 * ch * k / cdd;
    tu.m22 = two * r2 * g2 * ce / cdd;

    // Phase factors of the layer above this interface.
    const int j = ik - 1;
    o.enuh[j] = layer_phase(ai, nu1, m.hc[j]);
    o.egamh[j] = layer_phase(ai, g1, m.hc[j]);

    // SH.
    const Cx cs1 = l1.rhob * g1;
    const Cx cs2 = l2.rhob * g2;
    const Divisor cdelt(cs1 + cs2);
    o.rush[ik] = (cs2 - cs1) / cdelt;
    o.rdsh[ik] = -o.rush[ik];
    o.tush[ik] = two * cs2 / cdelt;
    o.tdsh[ik] = two * cs1 / cdelt;
  }
}

}  // namespace lg
