#include "kernel/source_layer_amplitudes.h"

#include "kernel/constants.h"

namespace lg {

namespace {

// (I - r)^-1 for r given as elements (1,1), (1,2), (2,1), (2,2).
struct Inv2 {
  Cx t1, t2, t3, t4;
};

Inv2 inverse_i_minus(Cx r1, Cx r2, Cx r3, Cx r4) {
  const Cx one = cx(1.0);
  const Divisor cdet((one - r1) * (one - r4) - r2 * r3);
  return Inv2{(one - r4) / cdet, r2 / cdet, r3 / cdet, (one - r1) / cdet};
}

// Applies an inverse to the pair (v1, v2) and stores the result at cud[at], cud[at + 1].
void store(Arr<Cx, 20>& cud, int at, const Inv2& t, Cx v1, Cx v2) {
  cud[at] = v1 * t.t1 + v2 * t.t2;
  cud[at + 1] = v1 * t.t3 + v2 * t.t4;
}

}  // namespace

void source_layer_amplitudes(const Placement& p, const LayerWavenumbers& v,
                             const StackResponses& st, SourceLayerAmplitudes& out) {
  const int ls = p.ls;
  const Cx ai = kI;
  const Cx zsl = cx(p.zsl);
  const M2 rdo = st.crdo[ls];
  const Cx rdosh = st.crdosh[ls];
  const M2 rup = st.crup[ls];
  const Cx rupsh = st.crupsh[ls];
  const Cx one = cx(1.0);

  // Two-way reflections: up and back down (Rud) and down and back up (Rdu).
  const Cx rud1 = rdo.m11 * rup.m11 + rdo.m21 * rup.m12;
  const Cx rud2 = rdo.m12 * rup.m11 + rdo.m22 * rup.m12;
  const Cx rud3 = rdo.m11 * rup.m21 + rdo.m21 * rup.m22;
  const Cx rud4 = rdo.m12 * rup.m21 + rdo.m22 * rup.m22;
  const Cx rdu1 = rdo.m11 * rup.m11 + rdo.m12 * rup.m21;
  const Cx rdu2 = rdo.m11 * rup.m12 + rdo.m12 * rup.m22;
  const Cx rdu3 = rdo.m21 * rup.m11 + rdo.m22 * rup.m21;
  const Cx rdu4 = rdo.m21 * rup.m12 + rdo.m22 * rup.m22;
  const Inv2 tud = inverse_i_minus(rud1, rud2, rud3, rud4);
  const Inv2 tdu = inverse_i_minus(rdu1, rdu2, rdu3, rdu4);
  const Cx tsh = one / (one - rdosh * rupsh);

  // Phase factors over the source depth within its layer.
  const Cx egam = cexp(-((ai * v.cgam[ls]) * zsl));
  const Cx enu = cexp(-((ai * v.cnu[ls]) * zsl));
  const Divisor by_egam(egam);
  const Divisor by_enu(enu);

  Arr<Cx, 20>& cud = out.cud;
  // Case 1: P jump, equal parts; case 2: P jump, opposite parts.
  store(cud, 1, tud, rup.m11 / by_enu + enu, rup.m21 / by_enu);
  store(cud, 3, tdu, one / by_enu + enu * rdo.m11, enu * rdo.m21);
  store(cud, 5, tud, rup.m11 / by_enu - enu, rup.m21 / by_enu);
  store(cud, 7, tdu, one / by_enu - enu * rdo.m11, -(enu * rdo.m21));
  // Case 3: SV jump, equal parts; case 4: SV jump, opposite parts.
  store(cud, 9, tud, rup.m12 / by_egam, rup.m22 / by_egam + egam);
  store(cud, 11, tdu, egam * rdo.m12, one / by_egam + egam * rdo.m22);
  store(cud, 13, tud, rup.m12 / by_egam, rup.m22 / by_egam - egam);
  store(cud, 15, tdu, -(egam * rdo.m12), one / by_egam - egam * rdo.m22);
  // SH cases 1 and 2.
  cud[17] = (rupsh / by_egam + egam) * tsh;
  cud[18] = (one / by_egam + egam * rdosh) * tsh;
  cud[19] = (rupsh / by_egam - egam) * tsh;
  cud[20] = (one / by_egam - egam * rdosh) * tsh;
}

}  // namespace lg
