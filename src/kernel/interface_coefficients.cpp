#include "kernel/interface_coefficients.h"

#include <algorithm>
#include <cmath>

#include "kernel/complex_lanes.h"
#include "kernel/constants.h"

namespace lg {

Cx layer_phase(Cx ai, Cx kz, double h) {
  const Cx cdeph = cexp(-(ai * kz) * cx(h));
  double rdeph = cdeph.re;
  const double adeph = cdeph.im;
  if (std::fabs(rdeph) < 1e-50) rdeph = 0.0;
  return round_to_float(Cx{rdeph, adeph});
}

namespace {

// Terms of one layer that enter both interfaces of the layer, formed once.
struct LayerTerms {
  Cx cb;    // K / B
  Cx cad;   // rho (1 - 2 K/B)
  Cx cbr;   // 2 rho K/B
  Cx rhob;  // rho / B
};

// The inputs of one interface: the layers above (1) and below (2) it.
template <class C>
struct InterfaceInputs {
  C r1, r2, nu1, nu2, g1, g2;
  C cad1, cad2, cbr1, cbr2, rhob1, rhob2;
};

// The coefficients of one interface, written as the expressions of the method: C is Cx for
// one interface or lanes::C4 for four, so that both compute every coefficient by the same
// operations in the same order.
template <class C>
struct InterfaceValues {
  C rd11, rd21, rd12, rd22, td11, td21, td12, td22;
  C ru11, ru21, ru12, ru22, tu11, tu21, tu12, tu22;
  C rush, rdsh, tush, tdsh;
};

inline Divisor make_divisor(Cx b) {
  return Divisor(b);
}

LG_LANE_OP lanes::Divisor4 make_divisor(lanes::C4 b) {
  return lanes::divisor(b);
}

// Always inlined, so that the lanes' instance is compiled for the lanes' instruction set.
template <class C>
__attribute__((always_inline)) inline void interface_values(const InterfaceInputs<C>& in, Cx k,
                                                            InterfaceValues<C>& o) {
  const Cx two = cx(2.0);
  const Cx two_i = two * kI;
  const C& r1 = in.r1;
  const C& r2 = in.r2;
  const C& nu1 = in.nu1;
  const C& nu2 = in.nu2;
  const C& g1 = in.g1;
  const C& g2 = in.g2;

  const C ca1d = in.cad1;
  const C ca2d = in.cad2;
  const C ca = ca2d - ca1d;
  const C cb = in.cbr1 + ca2d;
  const C cc = in.cbr2 + ca1d;
  const C cd = two * (in.rhob2 - in.rhob1);
  const C ce = cb * nu1 + cc * nu2;
  const C cf = cb * g1 + cc * g2;
  const C cg = ca - cd * nu1 * g2;
  const C ch = ca - cd * nu2 * g1;
  const auto cdd = make_divisor(ce * cf + cg * ch * k);

  o.rd11 = (cf * (cb * nu1 - cc * nu2) - ch * k * (ca + cd * nu1 * g2)) / cdd;
  o.rd21 = two_i * nu1 * (ca * cb + cc * cd * nu2 * g2) / cdd;
  o.rd12 = two_i * k * g1 * (ca * cb + cc * cd * nu2 * g2) / cdd;
  o.rd22 = (ce * (cb * g1 - cc * g2) - cg * k * (ca + cd * nu2 * g1)) / cdd;
  o.td11 = two * r1 * nu1 * cf / cdd;
  o.td21 = two_i * r1 * nu1 * ch / cdd;
  o.td12 = two_i * r1 * g1 * cg * k / cdd;
  o.td22 = two * r1 * g1 * ce / cdd;
  o.ru11 = -(cf * (cb * nu1 - cc * nu2) + cg * k * (ca + cd * nu2 * g1)) / cdd;
  o.ru21 = two_i * nu2 * (ca * cc + cb * cd * nu1 * g1) / cdd;
  o.ru12 = two_i * k * g2 * (ca * cc + cb * cd * nu1 * g1) / cdd;
  o.ru22 = -(ce * (cb * g1 - cc * g2) + ch * k * (ca + cd * nu1 * g2)) / cdd;
  o.tu11 = two * r2 * nu2 * cf / cdd;
  o.tu21 = two_i * r2 * nu2 * cg / cdd;
  o.tu12 = two_i * r2 * g2 * ch * k / cdd;
  o.tu22 = two * r2 * g2 * ce / cdd;

  // SH.
  const C cs1 = in.rhob1 * g1;
  const C cs2 = in.rhob2 * g2;
  const auto cdelt = make_divisor(cs1 + cs2);
  o.rush = (cs2 - cs1) / cdelt;
  o.rdsh = -o.rush;
  o.tush = two * cs2 / cdelt;
  o.tdsh = two * cs1 / cdelt;
}

InterfaceInputs<Cx> inputs_of(int ik, const LayerModel& m, const LayerWavenumbers& w,
                              const PerLayer<LayerTerms>& lt) {
  return InterfaceInputs<Cx>{cx(m.rho[ik - 1]), cx(m.rho[ik]), w.cnu[ik - 1],   w.cnu[ik],
                             w.cgam[ik - 1],    w.cgam[ik],    lt[ik - 1].cad,  lt[ik].cad,
                             lt[ik - 1].cbr,    lt[ik].cbr,    lt[ik - 1].rhob, lt[ik].rhob};
}

// Interfaces first ... last (at most four) in lanes; the last lane repeats where fewer.
LG_TARGET_AVX2 void interfaces_in_lanes(int first, int last, Cx k, const LayerModel& m,
                                        const LayerWavenumbers& w, const PerLayer<LayerTerms>& lt,
                                        InterfaceCoefficients& o) {
  using lanes::C4;
  InterfaceInputs<Cx> one[4];
  for (int j = 0; j < 4; ++j) one[j] = inputs_of(first + j <= last ? first + j : last, m, w, lt);
  auto gather = [&one](Cx InterfaceInputs<Cx>::*f) {
    return C4{lanes::D4{(one[0].*f).re, (one[1].*f).re, (one[2].*f).re, (one[3].*f).re},
              lanes::D4{(one[0].*f).im, (one[1].*f).im, (one[2].*f).im, (one[3].*f).im}};
  };
  using In = InterfaceInputs<Cx>;
  const InterfaceInputs<C4> in{gather(&In::r1),   gather(&In::r2),    gather(&In::nu1),
                               gather(&In::nu2),  gather(&In::g1),    gather(&In::g2),
                               gather(&In::cad1), gather(&In::cad2),  gather(&In::cbr1),
                               gather(&In::cbr2), gather(&In::rhob1), gather(&In::rhob2)};
  InterfaceValues<C4> v;
  interface_values(in, k, v);
  for (int j = 0; first + j <= last; ++j) {
    const int ik = first + j;
    using lanes::lane;
    o.rd[ik] = M2{lane(v.rd11, j), lane(v.rd12, j), lane(v.rd21, j), lane(v.rd22, j)};
    o.td[ik] = M2{lane(v.td11, j), lane(v.td12, j), lane(v.td21, j), lane(v.td22, j)};
    o.ru[ik] = M2{lane(v.ru11, j), lane(v.ru12, j), lane(v.ru21, j), lane(v.ru22, j)};
    o.tu[ik] = M2{lane(v.tu11, j), lane(v.tu12, j), lane(v.tu21, j), lane(v.tu22, j)};
    o.rush[ik] = lane(v.rush, j);
    o.rdsh[ik] = lane(v.rdsh, j);
    o.tush[ik] = lane(v.tush, j);
    o.tdsh[ik] = lane(v.tdsh, j);
  }
}

}  // namespace

void interface_coefficients(const LayerModel& m, const Wavenumber& wk, const LayerMedium& med,
                            const LayerWavenumbers& w, InterfaceCoefficients& o, Lanes lanes) {
  const Cx ai = kI;
  const Cx k = cx(wk.ak2);
  const int nc = m.nc;
  const Cx one = cx(1.0);
  const Cx two = cx(2.0);
  const Cx four = cx(4.0);
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

  PerLayer<LayerTerms> lt;
  for (int ic = 1; ic <= nc; ++ic) {
    const Cx r = cx(m.rho[ic]);
    const Divisor b(med.ckb2[ic]);
    lt[ic].cb = k / b;
    lt[ic].cad = r * (one - two * lt[ic].cb);
    lt[ic].cbr = two * r * lt[ic].cb;
    lt[ic].rhob = r / b;
  }

  int ik = 2;
  if (lanes == Lanes::avx2) {
    for (; ik <= nc; ik += 4) interfaces_in_lanes(ik, std::min(ik + 3, nc), k, m, w, lt, o);
  }
  for (; ik <= nc; ++ik) {
    InterfaceValues<Cx> v;
    interface_values(inputs_of(ik, m, w, lt), k, v);
    o.rd[ik] = M2{v.rd11, v.rd12, v.rd21, v.rd22};
    o.td[ik] = M2{v.td11, v.td12, v.td21, v.td22};
    o.ru[ik] = M2{v.ru11, v.ru12, v.ru21, v.ru22};
    o.tu[ik] = M2{v.tu11, v.tu12, v.tu21, v.tu22};
    o.rush[ik] = v.rush;
    o.rdsh[ik] = v.rdsh;
    o.tush[ik] = v.tush;
    o.tdsh[ik] = v.tdsh;
  }

  // Phase factors of every layer above the half-space.
  for (int j = 1; j < nc; ++j) {
    o.enuh[j] = layer_phase(ai, w.cnu[j], m.hc[j]);
    o.egamh[j] = layer_phase(ai, w.cgam[j], m.hc[j]);
  }
}

}  // namespace lg
