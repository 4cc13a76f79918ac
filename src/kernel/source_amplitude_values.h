// The up- and downgoing amplitudes at the top of the source layer for the six elementary
// source cases, written once over the value type (Cx for one frequency, lanes::C4 for four).
// Reads the stack responses at the source layer and the phase factors over the source depth;
// writes the amplitudes cud[1 .. 20].
#pragma once

#include "kernel/records.h"

namespace lg {

// (I - r)^-1 for r given as elements (1,1), (1,2), (2,1), (2,2).
template <class C>
struct Inverse2 {
  C t1, t2, t3, t4;
};

template <class C>
LG_FORMULA Inverse2<C> inverse_i_minus(C r1, C r2, C r3, C r4) {
  const C one = lift<C>(cx(1.0));
  const auto cdet = make_divisor((one - r1) * (one - r4) - r2 * r3);
  return Inverse2<C>{(one - r4) / cdet, r2 / cdet, r3 / cdet, (one - r1) / cdet};
}

// Applies an inverse to the pair (v1, v2) and stores the result at cud[at], cud[at + 1].
template <class C, class Cud>
LG_FORMULA void store_applied(Cud& cud, int at, const Inverse2<C>& t, C v1, C v2) {
  cud[at] = v1 * t.t1 + v2 * t.t2;
  cud[at + 1] = v1 * t.t3 + v2 * t.t4;
}

// The reverberation operators of the source layer: (I - Rud)^-1 and (I - Rdu)^-1 of the
// two-way P-SV reflections up and back down and down and back up, and 1 / (1 - rdosh rupsh)
// of SH. They depend on the layer, not on the depth within it.
template <class C>
struct SourceLayerInverses {
  Inverse2<C> tud, tdu;
  C tsh;
};

// rdo, rdosh and rup, rupsh are the stack responses above and below the top of the source
// layer.
template <class C>
LG_FORMULA SourceLayerInverses<C> source_layer_inverses(const Matrix2<C> rdo, C rdosh,
                                                        const Matrix2<C> rup, C rupsh) {
  const C one = lift<C>(cx(1.0));

  // Two-way reflections: up and back down (Rud) and down and back up (Rdu).
  const C rud1 = rdo.m11 * rup.m11 + rdo.m21 * rup.m12;
  const C rud2 = rdo.m12 * rup.m11 + rdo.m22 * rup.m12;
  const C rud3 = rdo.m11 * rup.m21 + rdo.m21 * rup.m22;
  const C rud4 = rdo.m12 * rup.m21 + rdo.m22 * rup.m22;
  const C rdu1 = rdo.m11 * rup.m11 + rdo.m12 * rup.m21;
  const C rdu2 = rdo.m11 * rup.m12 + rdo.m12 * rup.m22;
  const C rdu3 = rdo.m21 * rup.m11 + rdo.m22 * rup.m21;
  const C rdu4 = rdo.m21 * rup.m12 + rdo.m22 * rup.m22;
  return SourceLayerInverses<C>{inverse_i_minus(rud1, rud2, rud3, rud4),
                                inverse_i_minus(rdu1, rdu2, rdu3, rdu4),
                                one / make_divisor(one - rdosh * rupsh)};
}

// The amplitudes from the layer's stack responses and inverses and egam and enu, the S and P
// phase factors over the source depth within the layer; cud is indexed 1 .. 20.
template <class C, class Cud>
LG_FORMULA void source_amplitudes_at_depth(const Matrix2<C> rdo, C rdosh, const Matrix2<C> rup,
                                           C rupsh, const SourceLayerInverses<C>& inv, C egam,
                                           C enu, Cud& cud) {
  const C one = lift<C>(cx(1.0));
  const Inverse2<C>& tud = inv.tud;
  const Inverse2<C>& tdu = inv.tdu;
  const C tsh = inv.tsh;
  const auto by_egam = make_divisor(egam);
  const auto by_enu = make_divisor(enu);
  // Case 1: P jump, equal parts; case 2: P jump, opposite parts.
  store_applied(cud, 1, tud, rup.m11 / by_enu + enu, rup.m21 / by_enu);
  store_applied(cud, 3, tdu, one / by_enu + enu * rdo.m11, enu * rdo.m21);
  store_applied(cud, 5, tud, rup.m11 / by_enu - enu, rup.m21 / by_enu);
  store_applied(cud, 7, tdu, one / by_enu - enu * rdo.m11, -(enu * rdo.m21));
  // Case 3: SV jump, equal parts; case 4: SV jump, opposite parts.
  store_applied(cud, 9, tud, rup.m12 / by_egam, rup.m22 / by_egam + egam);
  store_applied(cud, 11, tdu, egam * rdo.m12, one / by_egam + egam * rdo.m22);
  store_applied(cud, 13, tud, rup.m12 / by_egam, rup.m22 / by_egam - egam);
  store_applied(cud, 15, tdu, -(egam * rdo.m12), one / by_egam - egam * rdo.m22);
  // SH cases 1 and 2.
  cud[17] = (rupsh / by_egam + egam) * tsh;
  cud[18] = (one / by_egam + egam * rdosh) * tsh;
  cud[19] = (rupsh / by_egam - egam) * tsh;
  cud[20] = (one / by_egam - egam * rdosh) * tsh;
}

// Both of the above: the amplitudes at the top of the source layer for a source at the depth
// of the phase factors egam and enu.
template <class C, class Cud>
LG_FORMULA void source_amplitude_values(const Matrix2<C> rdo, C rdosh, const Matrix2<C> rup,
                                        C rupsh, C egam, C enu, Cud& cud) {
  source_amplitudes_at_depth(rdo, rdosh, rup, rupsh, source_layer_inverses(rdo, rdosh, rup, rupsh),
                             egam, enu, cud);
}

}  // namespace lg
