#include "kernel/frequency_lanes.h"

#include <algorithm>
#include <memory>

#include "kernel/bessel_factors.h"
#include "kernel/complex_lanes.h"
#include "kernel/constants.h"
#include "kernel/interface_coefficients.h"
#include "kernel/interface_values.h"
#include "kernel/moment_tensor_spectra.h"
#include "kernel/receiver_increments.h"

namespace lg {

namespace {

using lanes::C4;
using lanes::Divisor4;

// A 2x2 P-SV matrix of four frequencies, lane j of each element that of frequency j.
struct M2L {
  C4 m11, m12, m21, m22;
};

// The operations of mat2.h and of the stack recursion, each lane those of its frequency.
LG_LANE_OP M2L mul(const M2L& a, const M2L& b) {
  return M2L{a.m11 * b.m11 + a.m12 * b.m21, a.m11 * b.m12 + a.m12 * b.m22,
             a.m21 * b.m11 + a.m22 * b.m21, a.m21 * b.m12 + a.m22 * b.m22};
}

LG_LANE_OP M2L add(const M2L& a, const M2L& b) {
  return M2L{a.m11 + b.m11, a.m12 + b.m12, a.m21 + b.m21, a.m22 + b.m22};
}

LG_LANE_OP M2L solve_i_minus(const M2L& x, const M2L& y) {
  const C4 one = lanes::splat(cx(1.0));
  const C4 zero = lanes::splat(Cx{});
  const C4 ca1 = one - x.m11;
  const C4 ca2 = zero - x.m12;
  const C4 ca3 = zero - x.m21;
  const C4 ca4 = one - x.m22;
  const Divisor4 cadet = lanes::divisor(ca1 * ca4 - ca2 * ca3);
  return M2L{(ca4 * y.m11 - ca2 * y.m21) / cadet, (ca4 * y.m12 - ca2 * y.m22) / cadet,
             (ca1 * y.m21 - ca3 * y.m11) / cadet, (ca1 * y.m22 - ca3 * y.m12) / cadet};
}

LG_LANE_OP M2L phase_both(C4 e1, C4 e2, const M2L& a) {
  const C4 p12 = e1 * e2;
  return M2L{(e1 * e1) * a.m11, p12 * a.m12, p12 * a.m21, (e2 * e2) * a.m22};
}

LG_LANE_OP C4 quotient(C4 a, C4 b) {
  return a / lanes::divisor(b);
}

// 1-based per-layer array. Plain arrays, as the AVX2 functions below, tuned differently from
// the rest, would call rather than inline the accessors of std::array.
template <class T>
using LayerArray = T[kMaxLayers + 1];

// Per-layer values of the four frequencies.
struct LaneLayers {
  LayerArray<C4> cka2, ckb2;    // of the layer medium
  LayerArray<C4> nu, gam, kig;  // vertical wavenumbers
  LayerArray<M2L> rd, ru, td, tu;
  LayerArray<C4> rdsh, rush, tdsh, tush, enuh, egamh;
  LayerArray<M2L> crdo, crup, ctdo, ctup;
  LayerArray<C4> crdosh, crupsh, ctdosh, ctupsh;
  // Operands the AVX2 functions read from memory, formed outside them: cx(rho) and
  // two * cx(rho) of every layer in all lanes, and cx(k^2) and cx(k^2) / i of the step.
  LayerArray<C4> rho, two_rho;
  C4 k, k2;
  C4 one, two;  // cx(1.0), cx(2.0)
  // The phase factors over the source depth within its layer (P, S).
  C4 enu_s, egam_s;
  C4 k_twice;  // cx(k^2 + k^2)
  // The source-layer amplitudes (cud of SourceLayerAmplitudes) and terms.
  C4 cud[21];
  C4 cs2, cs3, cs4, cs6, cs7, cs8, cs9;
  // The transfers from the top of the source layer (SourceTransfers).
  LayerArray<M2L> ftup, ftdo;
  LayerArray<C4> ftupsh, ftdosh;
  // The phase factors over a receiver's depth within its layer (P, S), and its depth terms.
  C4 enu_r, egam_r;
  C4 cu, cu2, cu3, c9, c10, c11, s5, s6;
};

struct LaneTerms {
  C4 cad, cbr, rhob;
};

// The layer part of one step for the frequencies in lanes computes for each what
// vertical_wavenumbers, interface_coefficients and stack_responses compute, by the same
// operations in the same order. Lanes are read and written through memory only outside the
// AVX2 functions. They are tuned for Haswell, whose code generation builds the lanes of
// scalars without the register-to-register moves some instruction-level profilers cannot decode
// (the operations, and so the bits, are the same).
#define LG_LANE_STEP __attribute__((target("avx2,tune=haswell")))

// The vertical wavenumbers and the interface coefficients.
LG_LANE_STEP void interfaces_of_step(const LayerModel& m, LaneLayers& l) {
  const int nc = m.nc;
  const Cx ai = kI;
  const Cx two = cx(2.0);
  const Cx four = cx(4.0);
  const Cx four_i = four * ai;

  // Vertical wavenumbers.
  const C4 k2 = l.k2;
  const C4 kk = l.k;
  for (int ic = 1; ic <= nc; ++ic) {
    const C4 nu = lanes::csqrt4(l.cka2[ic] - kk);
    l.nu[ic] = lanes::select_v(reinterpret_cast<lanes::I4>(nu.im > lanes::D4{}), -nu, nu);
    const C4 gam = lanes::csqrt4(l.ckb2[ic] - kk);
    l.gam[ic] = lanes::select_v(reinterpret_cast<lanes::I4>(gam.im > lanes::D4{}), -gam, gam);
    l.kig[ic] = k2 / lanes::divisor(l.nu[ic]);
  }

  // Free surface.
  const C4 k = l.k;
  {
    const C4 b = l.ckb2[1];
    const C4 nu = l.nu[1];
    const C4 gam = l.gam[1];
    const C4 cf1 = b - two * k;
    const C4 cf2 = cf1 * cf1;
    const C4 cf3 = four * nu * k * gam;
    const Divisor4 cdd = lanes::divisor(cf2 + cf3);
    M2L& ru = l.ru[1];
    ru.m11 = (cf3 - cf2) / cdd;
    ru.m21 = four_i * nu * cf1 / cdd;
    ru.m22 = (cf3 - cf2) / cdd;
    ru.m12 = four_i * k * gam * cf1 / cdd;
    l.rush[1] = l.one;
  }

  LayerArray<LaneTerms> lt;
  for (int ic = 1; ic <= nc; ++ic) {
    // r * (one - two * cb), (two * r) * cb and r / b with r = cx(rho).
    const Divisor4 b = lanes::divisor(l.ckb2[ic]);
    const C4 cb = k / b;
    lt[ic].cad = l.rho[ic] * (l.one - l.two * cb);
    lt[ic].cbr = l.two_rho[ic] * cb;
    lt[ic].rhob = l.rho[ic] / b;
  }

  for (int ik = 2; ik <= nc; ++ik) {
    const InterfaceInputs<C4> in{l.rho[ik - 1],  l.rho[ik],  l.nu[ik - 1],    l.nu[ik],
                                 l.gam[ik - 1],  l.gam[ik],  lt[ik - 1].cad,  lt[ik].cad,
                                 lt[ik - 1].cbr, lt[ik].cbr, lt[ik - 1].rhob, lt[ik].rhob};
    InterfaceValues<C4> v;
    interface_values(in, k, v);
    l.rd[ik] = M2L{v.rd11, v.rd12, v.rd21, v.rd22};
    l.td[ik] = M2L{v.td11, v.td12, v.td21, v.td22};
    l.ru[ik] = M2L{v.ru11, v.ru12, v.ru21, v.ru22};
    l.tu[ik] = M2L{v.tu11, v.tu12, v.tu21, v.tu22};
    l.rush[ik] = v.rush;
    l.rdsh[ik] = v.rdsh;
    l.tush[ik] = v.tush;
    l.tdsh[ik] = v.tdsh;
  }
}

// The phase factors across every layer above the half-space: library calls, lane by lane,
// for the frequencies still summing (the other lanes keep earlier values, which no live lane
// reads).
void phases_of_step(const LayerModel& m, LaneLayers& l, const bool* live) {
  const Cx ai = kI;
  const int nc = m.nc;
  for (int j = 1; j < nc; ++j) {
    for (int f = 0; f < 4; ++f) {
      if (!live[f]) continue;
      const Cx en = layer_phase(ai, lanes::lane(l.nu[j], f), m.hc[j]);
      const Cx eg = layer_phase(ai, lanes::lane(l.gam[j], f), m.hc[j]);
      l.enuh[j].re[f] = en.re;
      l.enuh[j].im[f] = en.im;
      l.egamh[j].re[f] = eg.re;
      l.egamh[j].im[f] = eg.im;
    }
  }
}

// The stack responses and the layer transfers.
LG_LANE_STEP void stacks_of_step(int nc, LaneLayers& l) {
  const Cx one = cx(1.0);
  // Stack responses, from the free surface down.
  const C4 one4 = lanes::splat(one);
  l.crdo[1] = l.ru[1];
  l.crdosh[1] = l.rush[1];
  for (int ic = 1; ic <= nc - 1; ++ic) {
    const C4 en = l.enuh[ic];
    const C4 eg = l.egamh[ic];
    const int kk1 = ic + 1;
    const M2L nb = phase_both(en, eg, l.crdo[ic]);
    const C4 nbsh = l.crdosh[ic] * (eg * eg);
    const C4 cash = quotient(one4, one4 - l.rdsh[kk1] * nbsh);
    const M2L cb = mul(l.td[kk1], nb);
    const C4 cbsh = l.tdsh[kk1] * nbsh;
    const M2L cc = solve_i_minus(mul(l.rd[kk1], nb), l.tu[kk1]);
    const C4 ccsh = cash * l.tush[kk1];
    l.crdo[kk1] = add(l.ru[kk1], mul(cb, cc));
    l.crdosh[kk1] = l.rush[kk1] + cbsh * ccsh;
    l.ctup[ic] = M2L{cc.m11 * en, cc.m12 * en, cc.m21 * eg, cc.m22 * eg};
    l.ctupsh[ic] = ccsh * eg;
  }

  // From the half-space up.
  const C4 zero4 = lanes::splat(Cx{});
  l.crup[nc] = M2L{zero4, zero4, zero4, zero4};
  l.crupsh[nc] = zero4;
  for (int ic = nc - 1; ic >= 1; --ic) {
    const C4 en = l.enuh[ic];
    const C4 eg = l.egamh[ic];
    const int kk1 = ic + 1;
    const M2L& mk = l.crup[kk1];
    const C4 cash = quotient(one4, one4 - l.rush[kk1] * l.crupsh[kk1]);
    const M2L cb = mul(l.tu[kk1], mk);
    const C4 cbsh = l.tush[kk1] * l.crupsh[kk1];
    const M2L cc = solve_i_minus(mul(l.ru[kk1], mk), l.td[kk1]);
    const C4 ccsh = cash * l.tdsh[kk1];
    const M2L mb = add(l.rd[kk1], mul(cb, cc));
    const C4 mbsh = l.rdsh[kk1] + cbsh * ccsh;
    l.crup[ic] = phase_both(en, eg, mb);
    l.crupsh[ic] = mbsh * (eg * eg);
    l.ctdo[kk1] = M2L{cc.m11 * en, cc.m12 * eg, cc.m21 * en, cc.m22 * eg};
    l.ctdosh[kk1] = ccsh * eg;
  }
}

// The phase factors over the source depth within its layer of the live frequencies, as
// source_layer_amplitudes forms them: library calls, lane by lane.
void source_phases_of_step(const Placement& p, LaneLayers& l, const bool* live) {
  const Cx ai = kI;
  const Cx zsl = cx(p.zsl);
  for (int f = 0; f < 4; ++f) {
    if (!live[f]) continue;
    const Cx egam = cexp(-((ai * lanes::lane(l.gam[p.ls], f)) * zsl));
    const Cx enu = cexp(-((ai * lanes::lane(l.nu[p.ls], f)) * zsl));
    l.egam_s.re[f] = egam.re;
    l.egam_s.im[f] = egam.im;
    l.enu_s.re[f] = enu.re;
    l.enu_s.im[f] = enu.im;
  }
}

// (I - r)^-1 for r given as elements (1,1), (1,2), (2,1), (2,2).
struct Inv2L {
  C4 t1, t2, t3, t4;
};

LG_LANE_OP Inv2L inverse_i_minus(C4 r1, C4 r2, C4 r3, C4 r4) {
  const C4 one = lanes::splat(cx(1.0));
  const Divisor4 cdet = lanes::divisor((one - r1) * (one - r4) - r2 * r3);
  return Inv2L{(one - r4) / cdet, r2 / cdet, r3 / cdet, (one - r1) / cdet};
}

// Applies an inverse to the pair (v1, v2): the amplitudes at cud[at], cud[at + 1].
struct Pair {
  C4 a, b;
};

LG_LANE_OP Pair apply(const Inv2L& t, C4 v1, C4 v2) {
  return Pair{v1 * t.t1 + v2 * t.t2, v1 * t.t3 + v2 * t.t4};
}

// source_layer_amplitudes for the frequencies in lanes, each lane by the operations of its
// frequency.
LG_LANE_STEP void source_amplitudes_of_step(int ls, LaneLayers& l) {
  const M2L& rdo = l.crdo[ls];
  const C4 rdosh = l.crdosh[ls];
  const M2L& rup = l.crup[ls];
  const C4 rupsh = l.crupsh[ls];
  const C4 one = lanes::splat(cx(1.0));

  // Two-way reflections: up and back down (Rud) and down and back up (Rdu).
  const C4 rud1 = rdo.m11 * rup.m11 + rdo.m21 * rup.m12;
  const C4 rud2 = rdo.m12 * rup.m11 + rdo.m22 * rup.m12;
  const C4 rud3 = rdo.m11 * rup.m21 + rdo.m21 * rup.m22;
  const C4 rud4 = rdo.m12 * rup.m21 + rdo.m22 * rup.m22;
  const C4 rdu1 = rdo.m11 * rup.m11 + rdo.m12 * rup.m21;
  const C4 rdu2 = rdo.m11 * rup.m12 + rdo.m12 * rup.m22;
  const C4 rdu3 = rdo.m21 * rup.m11 + rdo.m22 * rup.m21;
  const C4 rdu4 = rdo.m21 * rup.m12 + rdo.m22 * rup.m22;
  const Inv2L tud = inverse_i_minus(rud1, rud2, rud3, rud4);
  const Inv2L tdu = inverse_i_minus(rdu1, rdu2, rdu3, rdu4);
  const C4 tsh = one / lanes::divisor(one - rdosh * rupsh);

  const C4 egam = l.egam_s;
  const C4 enu = l.enu_s;
  const Divisor4 by_egam = lanes::divisor(egam);
  const Divisor4 by_enu = lanes::divisor(enu);

  Pair v[8];
  // Case 1: P jump, equal parts; case 2: P jump, opposite parts.
  v[0] = apply(tud, rup.m11 / by_enu + enu, rup.m21 / by_enu);
  v[1] = apply(tdu, one / by_enu + enu * rdo.m11, enu * rdo.m21);
  v[2] = apply(tud, rup.m11 / by_enu - enu, rup.m21 / by_enu);
  v[3] = apply(tdu, one / by_enu - enu * rdo.m11, -(enu * rdo.m21));
  // Case 3: SV jump, equal parts; case 4: SV jump, opposite parts.
  v[4] = apply(tud, rup.m12 / by_egam, rup.m22 / by_egam + egam);
  v[5] = apply(tdu, egam * rdo.m12, one / by_egam + egam * rdo.m22);
  v[6] = apply(tud, rup.m12 / by_egam, rup.m22 / by_egam - egam);
  v[7] = apply(tdu, -(egam * rdo.m12), one / by_egam - egam * rdo.m22);
  // SH cases 1 and 2.
  const C4 sh[4] = {(rupsh / by_egam + egam) * tsh, (one / by_egam + egam * rdosh) * tsh,
                    (rupsh / by_egam - egam) * tsh, (one / by_egam - egam * rdosh) * tsh};
  for (int t = 0; t < 8; ++t) {
    l.cud[2 * t + 1] = v[t].a;
    l.cud[2 * t + 2] = v[t].b;
  }
  for (int t = 0; t < 4; ++t) l.cud[17 + t] = sh[t];
}

// source_layer_terms and source_transfers for the frequencies in lanes.
LG_LANE_STEP void source_terms_of_step(int ls, const TransferRange& r, LaneLayers& l) {
  const Cx ai = kI;
  l.cs2 = l.kig[ls];
  l.cs4 = l.k;
  const C4 cs5 = ai * l.gam[ls];
  const Divisor4 by_cs5 = lanes::divisor(cs5);
  l.cs3 = l.ckb2[ls] / by_cs5;
  l.cs6 = l.ckb2[ls];
  l.cs8 = ai * l.nu[ls];
  l.cs7 = l.cs8 * l.k;
  l.cs9 = (l.ckb2[ls] - l.k_twice) / by_cs5;

  const C4 one = lanes::splat(cx(1.0));
  const C4 zero = lanes::splat(Cx{});
  l.ftup[ls] = M2L{one, zero, zero, one};
  l.ftupsh[ls] = one;
  for (int k = ls - 1; k >= r.top; --k) {
    l.ftup[k] = mul(l.ctup[k], l.ftup[k + 1]);
    l.ftupsh[k] = l.ctupsh[k] * l.ftupsh[k + 1];
  }
  l.ftdo[ls] = M2L{one, zero, zero, one};
  l.ftdosh[ls] = one;
  for (int k = ls + 1; k <= r.bottom; ++k) {
    l.ftdo[k] = mul(l.ctdo[k], l.ftdo[k - 1]);
    l.ftdosh[k] = l.ctdosh[k] * l.ftdosh[k - 1];
  }
}

// The phase factors over the depth of receiver ir within its layer of the live frequencies, as
// depth_terms forms them: library calls, lane by lane.
void receiver_phases_of_step(const Placement& p, int ir, LaneLayers& l, const bool* live) {
  const Cx ai = kI;
  const int k = p.lr[static_cast<std::size_t>(ir)];
  const Cx zc = cx(p.zrl[static_cast<std::size_t>(ir)]);
  for (int f = 0; f < 4; ++f) {
    if (!live[f]) continue;
    const Cx egam = cexp(-((ai * lanes::lane(l.gam[k], f)) * zc));
    const Cx enu = cexp(-((ai * lanes::lane(l.nu[k], f)) * zc));
    l.egam_r.re[f] = egam.re;
    l.egam_r.im[f] = egam.im;
    l.enu_r.re[f] = enu.re;
    l.enu_r.im[f] = enu.im;
  }
}

// a * (v1, v2) for row j of a.
LG_LANE_OP C4 row_times(const M2L& a, int j, C4 v1, C4 v2) {
  return j == 1 ? a.m11 * v1 + a.m12 * v2 : a.m21 * v1 + a.m22 * v2;
}

// receiver_depth_terms (with depth_terms) for the frequencies in lanes, of a receiver in layer
// k, above the source or not.
LG_LANE_STEP void depth_terms_of_step(int k, bool above, LaneLayers& l) {
  const C4* cud = l.cud;
  C4 pu[3][5];
  C4 pd[3][5];
  C4 push[3];
  C4 pdsh[3];
  if (above) {
    // Above the source: the upgoing wave arrives, the stack above reflects it down.
    for (int t = 1; t <= 4; ++t) {
      for (int j = 1; j <= 2; ++j)
        pu[j][t] = row_times(l.ftup[k], j, cud[4 * t - 3], cud[4 * t - 2]);
      for (int j = 1; j <= 2; ++j) pd[j][t] = row_times(l.crdo[k], j, pu[1][t], pu[2][t]);
    }
    push[1] = l.ftupsh[k] * cud[17];
    pdsh[1] = l.crdosh[k] * push[1];
    push[2] = l.ftupsh[k] * cud[19];
    pdsh[2] = l.crdosh[k] * push[2];
  } else {
    // At or below the source: the downgoing wave arrives, the stack below reflects it up.
    for (int t = 1; t <= 4; ++t) {
      for (int j = 1; j <= 2; ++j) pd[j][t] = row_times(l.ftdo[k], j, cud[4 * t - 1], cud[4 * t]);
      for (int j = 1; j <= 2; ++j) pu[j][t] = row_times(l.crup[k], j, pd[1][t], pd[2][t]);
    }
    pdsh[1] = l.ftdosh[k] * cud[18];
    push[1] = l.crupsh[k] * pdsh[1];
    pdsh[2] = l.ftdosh[k] * cud[20];
    push[2] = l.crupsh[k] * pdsh[2];
  }

  const Cx ai = kI;
  const Cx two = cx(2.0);
  const C4 egam = l.egam_r;
  const C4 enu = l.enu_r;
  const Divisor4 by_egam = lanes::divisor(egam);
  const Divisor4 by_enu = lanes::divisor(enu);
  const C4 cr1 = ai * l.gam[k];
  const C4 cr3 = ai * l.nu[k];
  C4 cz[5];
  C4 czb[5];
  for (int t = 1; t <= 4; ++t) {
    const C4 phiu = pu[1][t] / by_enu;
    const C4 phid = pd[1][t] * enu;
    const C4 psiu = pu[2][t] / by_egam;
    const C4 psid = pd[2][t] * egam;
    cz[t] = phiu + phid + cr1 * (psiu - psid);
    czb[t] = cr3 * (phiu - phid) + l.cs4 * (psiu + psid);
  }
  l.s5 = pdsh[1] * egam + push[1] / by_egam;
  l.s6 = pdsh[2] * egam + push[2] / by_egam;
  l.cu = l.cs2 * cz[1] + cz[4];
  l.cu2 = l.cs2 * czb[1] + czb[4];
  l.cu3 = l.cs9 * cz[3] - (two * l.cs4) * cz[2];
  l.c9 = l.cs9 * czb[3] - (two * l.cs4) * czb[2];
  l.c10 = l.cs4 * cz[4] + l.cs7 * cz[1];
  l.c11 = l.cs8 * czb[1] + czb[4];
}

// Lane f of the source-layer terms the receiver sums read, and of the depth terms.
SourceLayerTerms source_terms_of(const LaneLayers& l, int f) {
  SourceLayerTerms s{};
  s.cs3 = lanes::lane(l.cs3, f);
  s.cs6 = lanes::lane(l.cs6, f);
  return s;
}

DepthTerms depth_terms_of(const LaneLayers& l, int f) {
  return DepthTerms{lanes::lane(l.cu, f), lanes::lane(l.cu2, f), lanes::lane(l.cu3, f),
                    lanes::lane(l.c9, f), lanes::lane(l.c10, f), lanes::lane(l.c11, f),
                    lanes::lane(l.s5, f), lanes::lane(l.s6, f)};
}

}  // namespace

std::vector<FrequencyOutcome> compute_frequencies(std::vector<Workspace>& ws, const double* freqs,
                                                  int n, const Sampling& s,
                                                  const BesselTable* table, Lanes lanes) {
  std::vector<FrequencyOutcome> out(static_cast<std::size_t>(n));
  if (lanes != Lanes::avx2 || n == 1) {
    for (int f = 0; f < n; ++f) {
      out[static_cast<std::size_t>(f)] =
          compute_frequency(ws[static_cast<std::size_t>(f)], freqs[f], s, table);
    }
    return out;
  }
  // Lanes beyond n repeat the last frequency's medium and are never live.
  Workspace* w[4];
  bool live[4];
  for (int f = 0; f < 4; ++f) {
    w[f] = &ws[static_cast<std::size_t>(std::min(f, n - 1))];
    live[f] = f < n;
  }
  for (int f = 0; f < n; ++f) start_frequency(*w[f], freqs[f], s);
  auto l = std::make_unique<LaneLayers>();
  for (int ic = 1; ic <= w[0]->model.nc; ++ic) {
    for (int f = 0; f < 4; ++f) {
      const LayerMedium& med = w[f]->medium;
      l->cka2[ic].re[f] = med.cka2[ic].re;
      l->cka2[ic].im[f] = med.cka2[ic].im;
      l->ckb2[ic].re[f] = med.ckb2[ic].re;
      l->ckb2[ic].im[f] = med.ckb2[ic].im;
    }
  }
  // Lanes that never run keep finite values in the phase factors.
  for (int ic = 1; ic <= w[0]->model.nc; ++ic) {
    const Cx r = cx(w[0]->model.rho[ic]);
    l->rho[ic] = lanes::splat(r);
    l->two_rho[ic] = lanes::splat(cx(2.0) * r);
    l->enuh[ic] = lanes::splat(Cx{});
    l->egamh[ic] = lanes::splat(Cx{});
    l->one = lanes::splat(cx(1.0));
    l->two = lanes::splat(cx(2.0));
    l->enu_s = lanes::splat(cx(1.0));
    l->egam_s = lanes::splat(cx(1.0));
    l->enu_r = lanes::splat(cx(1.0));
    l->egam_r = lanes::splat(cx(1.0));
  }

  // The Bessel factors do not depend on the frequency: formed once per step, read by all.
  BesselFactors& bessel = w[0]->bessel;
  const Placement& p = w[0]->placement;
  const ReceiverPositions& rec = w[0]->receivers;
  const TransferRange range = transfer_range(p);
  int remaining = n;
  int ik = 0;
  for (ik = 0; ik <= s.ikmax && remaining > 0; ++ik) {
    Wavenumber k;
    k.ak = wavenumber_of_step(ik, s.pil);
    k.ak2 = k.ak * k.ak;
    for (int f = 0; f < n; ++f) w[f]->wavenumber = k;
    if (table != nullptr && ik < table->rows()) {
      bessel_factors(w[0]->placement, k, table->row(ik), bessel);
    } else {
      bessel_factors(w[0]->placement, k, bessel);
    }
    l->k = lanes::splat(cx(k.ak2));
    l->k2 = lanes::splat(cx(k.ak * k.ak) / kI);
    l->k_twice = lanes::splat(cx(k.ak2 + k.ak2));
    interfaces_of_step(w[0]->model, *l);
    phases_of_step(w[0]->model, *l, live);
    stacks_of_step(w[0]->model.nc, *l);
    source_phases_of_step(p, *l, live);
    source_amplitudes_of_step(p.ls, *l);
    source_terms_of_step(p.ls, range, *l);
    SourceLayerTerms terms[4];
    bool converged[4];
    for (int f = 0; f < n; ++f) {
      terms[f] = source_terms_of(*l, f);
      converged[f] = true;
    }
    // The outcome is looked at only above kIkMin, and for the last step to report it.
    const bool test = ik > kIkMin || ik == s.ikmax;
    for (int ir = 1, last = 1; ir <= p.nr; ir = last + 1) {
      // Receivers at the same depth (adjacent once ordered) share their depth terms.
      last = ir;
      while (last < p.nr && rec.zr[last + 1] == rec.zr[ir]) ++last;
      receiver_phases_of_step(p, ir, *l, live);
      depth_terms_of_step(p.lr[ir], ir <= p.nrup, *l);
      for (int f = 0; f < n; ++f) {
        if (!live[f]) continue;
        // Once one sum has failed the test, the step has not converged and no test is needed.
        converged[f] = add_receiver_sums(ir, last, bessel, depth_terms_of(*l, f), terms[f], s.uconv,
                                         test && converged[f], w[f]->sums) &&
                       converged[f];
      }
    }
    for (int f = 0; f < n; ++f) {
      if (!live[f]) continue;
      out[static_cast<std::size_t>(f)] = FrequencyOutcome{ik, converged[f]};
      if (converged[f] && ik > kIkMin) {
        live[f] = false;
        --remaining;
      }
    }
  }
  for (int f = 0; f < n; ++f) {
    // A frequency that ran to the last index reports ikmax + 1 steps.
    if (live[f]) out[static_cast<std::size_t>(f)].ik = ik;
    Workspace& x = *w[f];
    moment_tensor_spectra(x.placement, x.receivers, x.medium, x.sums, x.spectra);
  }
  return out;
}

}  // namespace lg
