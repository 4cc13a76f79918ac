// The plane-wave coefficients of the free surface and of one interface, and the layer terms
// they share, as the expressions of the method, written once for one value (Cx) and for four
// in AVX2 lanes (lanes::C4), so that every path computes each coefficient by the same
// operations in the same order. Reads the inputs of the interface; writes its coefficients.
#pragma once

#include "kernel/complex.h"
#include "kernel/lanes.h"
#include "kernel/records.h"

#if LG_AVX2_LANES
#include "kernel/complex_lanes.h"
#endif

namespace lg {

// The reflection matrix of the free surface (ru of interface 1) from the S wavenumber squared
// b and the vertical wavenumbers nu (P) and gam (S) of layer 1, k being k^2.
template <class C>
LG_FORMULA Matrix2<C> free_surface(C b, C nu, C gam, C k) {
  const Cx two = cx(2.0);
  const Cx four = cx(4.0);
  const Cx four_i = four * kI;
  const C cf1 = b - two * k;
  const C cf2 = cf1 * cf1;
  const C cf3 = four * nu * k * gam;
  const auto cdd = make_divisor(cf2 + cf3);
  Matrix2<C> ru;
  ru.m11 = (cf3 - cf2) / cdd;
  ru.m21 = four_i * nu * cf1 / cdd;
  ru.m22 = (cf3 - cf2) / cdd;
  ru.m12 = four_i * k * gam * cf1 / cdd;
  return ru;
}

// Terms of one layer that enter both interfaces of the layer, formed once.
template <class C>
struct LayerTerms {
  C cad;   // rho (1 - 2 K/B)
  C cbr;   // 2 rho K/B
  C rhob;  // rho / B
};

// The terms of a layer of density r (two_r = 2 * r) and S wavenumber squared b, k being k^2;
// one and two are 1 and 2.
template <class C>
LG_FORMULA LayerTerms<C> layer_terms(C r, C two_r, C b, C k, C one, C two) {
  const auto by_b = make_divisor(b);
  const C cb = k / by_b;
  return LayerTerms<C>{r * (one - two * cb), two_r * cb, r / by_b};
}

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

// k is k^2 as a complex number (Cx), or the same in all four lanes (C4): a product with it is
// the same either way.
template <class C, class K>
LG_FORMULA void interface_values(const InterfaceInputs<C>& in, K k, InterfaceValues<C>& o) {
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

// Stores the coefficients v of interface ik in o, which holds rd, ru, td, tu, rdsh, rush,
// tdsh and tush per interface.
template <class C, class O>
LG_FORMULA void store_interface(int ik, const InterfaceValues<C>& v, O& o) {
  o.rd[ik] = Matrix2<C>{v.rd11, v.rd12, v.rd21, v.rd22};
  o.td[ik] = Matrix2<C>{v.td11, v.td12, v.td21, v.td22};
  o.ru[ik] = Matrix2<C>{v.ru11, v.ru12, v.ru21, v.ru22};
  o.tu[ik] = Matrix2<C>{v.tu11, v.tu12, v.tu21, v.tu22};
  o.rush[ik] = v.rush;
  o.rdsh[ik] = v.rdsh;
  o.tush[ik] = v.tush;
  o.tdsh[ik] = v.tdsh;
}

}  // namespace lg
