#include "kernel/frequency_lanes.h"

#include <algorithm>
#include <memory>

#include "kernel/bessel_factors.h"
#include "kernel/constants.h"
#include "kernel/depth_values.h"
#include "kernel/force_spectra.h"
#include "kernel/interface_coefficients.h"
#include "kernel/interface_values.h"
#include "kernel/mat2.h"
#include "kernel/receiver_increments.h"
#include "kernel/source_amplitude_values.h"
#include "kernel/stack_recursion.h"

#if LG_AVX2_LANES
#include "kernel/complex_lanes.h"
#endif

namespace lg {

namespace {

#if LG_AVX2_LANES

using lanes::C4;

// A 2x2 P-SV matrix of four frequencies, lane j of each element that of frequency j.
using M2L = Matrix2<C4>;

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
  C4 cs5i;  // forces only
  // The transfers from the top of the source layer (SourceTransfers).
  LayerArray<M2L> ftup, ftdo;
  LayerArray<C4> ftupsh, ftdosh;
  // The phase factors over a receiver's depth within its layer (P, S), and its depth terms.
  C4 enu_r, egam_r;
  C4 cu, cu2, cu3, c9, c10, c11, s5, s6;
  C4 fzr, fzz;  // forces only
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
  l.ru[1] = free_surface(l.ckb2[1], l.nu[1], l.gam[1], k);
  l.rush[1] = l.one;

  LayerArray<LayerTerms<C4>> lt;
  for (int ic = 1; ic <= nc; ++ic) {
    lt[ic] = layer_terms(l.rho[ic], l.two_rho[ic], l.ckb2[ic], k, l.one, l.two);
  }

  for (int ik = 2; ik <= nc; ++ik) {
    const InterfaceInputs<C4> in{l.rho[ik - 1],  l.rho[ik],  l.nu[ik - 1],    l.nu[ik],
                                 l.gam[ik - 1],  l.gam[ik],  lt[ik - 1].cad,  lt[ik].cad,
                                 lt[ik - 1].cbr, lt[ik].cbr, lt[ik - 1].rhob, lt[ik].rhob};
    InterfaceValues<C4> v;
    interface_values(in, k, v);
    store_interface(ik, v, l);
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
  stack_recursion(nc, l, l, l);
}

// The phase factors over the source depth within its layer of the live frequencies, as
// source_layer_amplitudes forms them: library calls, lane by lane.
void source_phases_of_step(const Placement& p, LaneLayers& l, const bool* live) {
  const Cx zsl = cx(p.zsl);
  for (int f = 0; f < 4; ++f) {
    if (!live[f]) continue;
    const Cx egam = depth_phase(lanes::lane(l.gam[p.ls], f), zsl);
    const Cx enu = depth_phase(lanes::lane(l.nu[p.ls], f), zsl);
    l.egam_s.re[f] = egam.re;
    l.egam_s.im[f] = egam.im;
    l.enu_s.re[f] = enu.re;
    l.enu_s.im[f] = enu.im;
  }
}

// source_layer_amplitudes for the frequencies in lanes, each lane by the operations of its
// frequency.
LG_LANE_STEP void source_amplitudes_of_step(int ls, LaneLayers& l) {
  source_amplitude_values(l.crdo[ls], l.crdosh[ls], l.crup[ls], l.crupsh[ls], l.egam_s, l.enu_s,
                          l.cud);
}

// source_layer_terms and source_transfers for the frequencies in lanes.
LG_LANE_STEP void source_terms_of_step(int ls, const TransferRange& r, LaneLayers& l) {
  source_terms(l.kig[ls], l.k, l.k_twice, l.ckb2[ls], l.gam[ls], l.nu[ls], l);
  transfers_from_source(ls, r.top, r.bottom, l, l);
}

// The forces' source-layer term.
LG_LANE_STEP void force_terms_of_step(int ls, LaneLayers& l) {
  force_source_terms(l.gam[ls], l);
}

// The phase factors over the depth of receiver ir within its layer of the live frequencies, as
// depth_terms forms them: library calls, lane by lane.
void receiver_phases_of_step(const Placement& p, int ir, LaneLayers& l, const bool* live) {
  const int k = p.lr[static_cast<std::size_t>(ir)];
  const Cx zc = cx(p.zrl[static_cast<std::size_t>(ir)]);
  for (int f = 0; f < 4; ++f) {
    if (!live[f]) continue;
    const Cx egam = depth_phase(lanes::lane(l.gam[k], f), zc);
    const Cx enu = depth_phase(lanes::lane(l.nu[k], f), zc);
    l.egam_r.re[f] = egam.re;
    l.egam_r.im[f] = egam.im;
    l.enu_r.re[f] = enu.re;
    l.enu_r.im[f] = enu.im;
  }
}

// receiver_depth_terms (with depth_terms) for the frequencies in lanes, of a receiver in layer
// k, above the source or not.
LG_LANE_STEP void depth_terms_of_step(int k, bool above, LaneLayers& l) {
  ReceiverWaveValues<C4> w;
  receiver_waves(k, above, l, l, l.cud, w);
  depth_values(w, l.gam[k], l.nu[k], l.egam_r, l.enu_r, l, l);
}

// The same with the forces' terms.
LG_LANE_STEP void force_depth_terms_of_step(int k, bool above, LaneLayers& l) {
  ReceiverWaveValues<C4> w;
  receiver_waves(k, above, l, l, l.cud, w);
  depth_values<true>(w, l.gam[k], l.nu[k], l.egam_r, l.enu_r, l, l);
}

// Lane f of the source-layer terms the receiver sums read, and of the depth terms.
SourceLayerTerms source_terms_of(const LaneLayers& l, int f) {
  SourceLayerTerms s{};
  s.cs3 = lanes::lane(l.cs3, f);
  s.cs6 = lanes::lane(l.cs6, f);
  s.cs5i = lanes::lane(l.cs5i, f);
  return s;
}

DepthTerms depth_terms_of(const LaneLayers& l, int f) {
  return DepthTerms{lanes::lane(l.cu, f), lanes::lane(l.cu2, f), lanes::lane(l.cu3, f),
                    lanes::lane(l.c9, f), lanes::lane(l.c10, f), lanes::lane(l.c11, f),
                    lanes::lane(l.s5, f), lanes::lane(l.s6, f),  lanes::lane(l.fzr, f),
                    lanes::lane(l.fzz, f)};
}

// compute_frequencies for n from 2 to 4 in lanes; out holds n outcomes.
void frequencies_in_lanes(std::vector<Workspace>& ws, const double* freqs, int n, const Sampling& s,
                          const BesselTable* table, std::vector<FrequencyOutcome>& out) {
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
  const SourceSet set = w[0]->sources;
  KindsSumming kinds[4];
  for (int f = 0; f < 4; ++f) kinds[f].active = set;
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
    if (set.force) force_terms_of_step(p.ls, *l);
    SourceLayerTerms terms[4];
    SourceSet passed[4];
    for (int f = 0; f < n; ++f) {
      terms[f] = source_terms_of(*l, f);
      passed[f] = SourceSet{true, true};
    }
    const bool test = step_is_tested(ik, s.ikmax);
    for (int ir = 1, last = 1; ir <= p.nr; ir = last + 1) {
      // Receivers at the same depth (adjacent once ordered) share their depth terms.
      last = ir;
      while (last < p.nr && rec.zr[last + 1] == rec.zr[ir]) ++last;
      receiver_phases_of_step(p, ir, *l, live);
      if (set.force) {
        force_depth_terms_of_step(p.lr[ir], ir <= p.nrup, *l);
      } else {
        depth_terms_of_step(p.lr[ir], ir <= p.nrup, *l);
      }
      for (int f = 0; f < n; ++f) {
        if (!live[f]) continue;
        // Once one sum has failed the test, the step has not converged and no test is needed.
        add_source_sums(kinds[f].active, ir, last, bessel, depth_terms_of(*l, f), terms[f], s.uconv,
                        test, passed[f], w[f]->sums);
      }
    }
    for (int f = 0; f < n; ++f) {
      if (!live[f]) continue;
      const bool ended = kinds[f].end_step(passed[f], ik);
      out[static_cast<std::size_t>(f)] = FrequencyOutcome{ik, kinds[f].converged(passed[f])};
      if (ended) {
        live[f] = false;
        --remaining;
      }
    }
  }
  for (int f = 0; f < n; ++f) {
    // A frequency that ran to the last index reports ikmax + 1 steps.
    if (live[f]) out[static_cast<std::size_t>(f)].ik = ik;
    Workspace& x = *w[f];
    source_spectra(set, x.placement, x.receivers, x.medium, x.sums, x.spectra);
  }
}
#endif

}  // namespace

std::vector<FrequencyOutcome> compute_frequencies(std::vector<Workspace>& ws, const double* freqs,
                                                  int n, const Sampling& s,
                                                  const BesselTable* table,
                                                  [[maybe_unused]] Lanes lanes) {
  std::vector<FrequencyOutcome> out(static_cast<std::size_t>(n));
#if LG_AVX2_LANES
  // Gradients are summed one frequency at a time.
  if (lanes == Lanes::avx2 && n > 1 && !ws[0].sources.gradient) {
    frequencies_in_lanes(ws, freqs, n, s, table, out);
    return out;
  }
#endif
  for (int f = 0; f < n; ++f) {
    out[static_cast<std::size_t>(f)] =
        compute_frequency(ws[static_cast<std::size_t>(f)], freqs[f], s, table);
  }
  return out;
}

}  // namespace lg
