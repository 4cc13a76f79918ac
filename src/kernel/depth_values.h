// The source-layer terms, the transfers from the source layer to the receivers' layers, the
// waves at the top of a receiver's layer and the receiver's depth terms, written once over the
// value type (Cx for one frequency, lanes::C4 for four). Read the layer values, the layer
// transfers, the source-layer amplitudes and the stack responses; write the terms, the
// cumulative transfers, the waves, then the depth terms.
#pragma once

#include <type_traits>

#include "kernel/constants.h"
#include "kernel/mat2.h"
#include "kernel/receiver_waves.h"
#include "kernel/records.h"

namespace lg {

// The source-layer terms cs2 ... cs9 of s (but cs5, a step of cs3 and cs9) from the source
// layer's k^2 / (i nu) kig, S wavenumber squared ckb2 and vertical wavenumbers gam and nu, k
// being k^2 and k_twice k^2 + k^2.
template <class C, class S>
LG_FORMULA void source_terms(C kig, C k, C k_twice, C ckb2, C gam, C nu, S& s) {
  s.cs2 = kig;
  s.cs4 = k;
  const C cs5 = kI * gam;
  const auto by_cs5 = make_divisor(cs5);
  s.cs3 = ckb2 / by_cs5;
  s.cs6 = ckb2;
  s.cs8 = kI * nu;
  s.cs7 = s.cs8 * k;
  s.cs9 = (ckb2 - k_twice) / by_cs5;
}

// The source-layer term the forces add: cs5i = 1 / (i gam).
template <class C, class S>
LG_FORMULA void force_source_terms(C gam, S& s) {
  const C one = lift<C>(cx(1.0));
  s.cs5i = one / make_divisor(kI * gam);
}

// The cumulative transfers from the top of source layer ls to the top of layers top ... bottom:
// tr holds the layer transfers (ctup, ctdo, ctupsh, ctdosh), f receives ftup, ftdo, ftupsh and
// ftdosh per layer.
template <class Tr, class F>
LG_FORMULA void transfers_from_source(int ls, int top, int bottom, const Tr& tr, F& f) {
  using C = std::remove_cvref_t<decltype(tr.ctupsh[1])>;
  const C one = lift<C>(cx(1.0));
  f.ftup[ls] = identity2<C>();
  f.ftupsh[ls] = one;
  for (int k = ls - 1; k >= top; --k) {
    f.ftup[k] = mul(tr.ctup[k], f.ftup[k + 1]);
    f.ftupsh[k] = tr.ctupsh[k] * f.ftupsh[k + 1];
  }
  f.ftdo[ls] = identity2<C>();
  f.ftdosh[ls] = one;
  for (int k = ls + 1; k <= bottom; ++k) {
    f.ftdo[k] = mul(tr.ctdo[k], f.ftdo[k - 1]);
    f.ftdosh[k] = tr.ctdosh[k] * f.ftdosh[k - 1];
  }
}

// a * (v1, v2) for row j of a.
template <class C>
LG_FORMULA C row_times(const Matrix2<C>& a, int j, C v1, C v2) {
  return j == 1 ? a.m11 * v1 + a.m12 * v2 : a.m21 * v1 + a.m22 * v2;
}

// The waves at the top of layer k from the amplitudes cud[1 .. 20] at the top of the source
// layer: st holds the stack responses (crdo, crup, crdosh, crupsh), f the transfers from the
// source layer (ftup, ftdo, ftupsh, ftdosh) per layer.
template <class C, class St, class F, class Cud>
LG_FORMULA void receiver_waves(int k, bool above, const St& st, const F& f, const Cud& cud,
                               ReceiverWaveValues<C>& w) {
  if (above) {
    // Above the source: the upgoing wave arrives, the stack above reflects it down.
    for (int t = 1; t <= 4; ++t) {
      for (int j = 1; j <= 2; ++j)
        w.pu[j][t] = row_times(f.ftup[k], j, cud[4 * t - 3], cud[4 * t - 2]);
      for (int j = 1; j <= 2; ++j) w.pd[j][t] = row_times(st.crdo[k], j, w.pu[1][t], w.pu[2][t]);
    }
    w.push[1] = f.ftupsh[k] * cud[17];
    w.pdsh[1] = st.crdosh[k] * w.push[1];
    w.push[2] = f.ftupsh[k] * cud[19];
    w.pdsh[2] = st.crdosh[k] * w.push[2];
  } else {
    // At or below the source: the downgoing wave arrives, the stack below reflects it up.
    for (int t = 1; t <= 4; ++t) {
      for (int j = 1; j <= 2; ++j) w.pd[j][t] = row_times(f.ftdo[k], j, cud[4 * t - 1], cud[4 * t]);
      for (int j = 1; j <= 2; ++j) w.pu[j][t] = row_times(st.crup[k], j, w.pd[1][t], w.pd[2][t]);
    }
    w.pdsh[1] = f.ftdosh[k] * cud[18];
    w.push[1] = st.crupsh[k] * w.pdsh[1];
    w.pdsh[2] = f.ftdosh[k] * cud[20];
    w.push[2] = st.crupsh[k] * w.pdsh[2];
  }
}

// The potentials at the receiver's depth and their combinations, from its waves w, the
// vertical wavenumbers gam (S) and nu (P) of its layer and the phase factors egam and enu over
// its depth within the layer. s holds the source-layer terms cs2, cs4, cs7, cs8 and cs9; d
// receives cu, cu2, cu3, c9, c10, c11, s5 and s6. With kForce, also the vertical force's
// radial and vertical terms fzr and fzz (s then holds cs5i too); the horizontal forces read
// cu, cu2 and s5.
//
// The forces' cases follow from those of the moment tensor: a moment element's field is the
// derivative of a force's field with respect to the source position, and a derivative with
// respect to the source's depth multiplies the waves it sends up by -i nu (P) or -i gam (S)
// and those it sends down by +i nu or +i gam. Mzz (i nu case 1 + case 4) so comes from a
// vertical force case 2 + case 3 / (i gam); Mxz less the horizontal derivative of the vertical
// force's field comes from a horizontal force -(cs2 case 1 + case 4), SH case 1 / (i gam).
//
// With kSlope, d receives the derivatives of all these in the receiver's depth instead: the
// upgoing waves' potentials times i nu (P) or i gam (S), the downgoing ones' times -i nu, -i gam.
template <bool kForce = false, bool kSlope = false, class C, class S, class D>
LG_FORMULA void depth_values(const ReceiverWaveValues<C>& w, C gam, C nu, C egam, C enu, const S& s,
                             D& d) {
  const Cx two = cx(2.0);
  const auto by_egam = make_divisor(egam);
  const auto by_enu = make_divisor(enu);
  const C cr1 = kI * gam;
  const C cr3 = kI * nu;

  // Potentials at the receiver depth and their two combinations per P-SV case.
  C cz[5];
  C czb[5];
  for (int t = 1; t <= 4; ++t) {
    C phiu = w.pu[1][t] / by_enu;
    C phid = w.pd[1][t] * enu;
    C psiu = w.pu[2][t] / by_egam;
    C psid = w.pd[2][t] * egam;
    if constexpr (kSlope) {
      phiu = cr3 * phiu;
      phid = -(cr3 * phid);
      psiu = cr1 * psiu;
      psid = -(cr1 * psid);
    }
    cz[t] = phiu + phid + cr1 * (psiu - psid);
    czb[t] = cr3 * (phiu - phid) + s.cs4 * (psiu + psid);
  }
  if constexpr (kSlope) {
    d.s5 = cr1 * (w.push[1] / by_egam) - cr1 * (w.pdsh[1] * egam);
    d.s6 = cr1 * (w.push[2] / by_egam) - cr1 * (w.pdsh[2] * egam);
  } else {
    d.s5 = w.pdsh[1] * egam + w.push[1] / by_egam;
    d.s6 = w.pdsh[2] * egam + w.push[2] / by_egam;
  }
  d.cu = s.cs2 * cz[1] + cz[4];
  d.cu2 = s.cs2 * czb[1] + czb[4];
  d.cu3 = s.cs9 * cz[3] - (two * s.cs4) * cz[2];
  d.c9 = s.cs9 * czb[3] - (two * s.cs4) * czb[2];
  d.c10 = s.cs4 * cz[4] + s.cs7 * cz[1];
  d.c11 = s.cs8 * czb[1] + czb[4];
  if constexpr (kForce) {
    d.fzr = s.cs4 * (cz[2] + cz[3] * s.cs5i);
    d.fzz = czb[2] + czb[3] * s.cs5i;
  }
}

}  // namespace lg
