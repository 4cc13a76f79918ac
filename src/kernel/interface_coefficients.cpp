#include "kernel/interface_coefficients.h"

#include <algorithm>
#include <cmath>

#include "kernel/constants.h"
#include "kernel/fluid_layers.h"
#include "kernel/interface_values.h"

namespace lg {

Cx layer_phase(Cx ai, Cx kz, double h) {
  const Cx cdeph = cexp(-(ai * kz) * cx(h));
  double rdeph = cdeph.re;
  const double adeph = cdeph.im;
  if (std::fabs(rdeph) < 1e-50) rdeph = 0.0;
  return round_to_float(Cx{rdeph, adeph});
}

namespace {

InterfaceInputs<Cx> inputs_of(int ik, const LayerModel& m, const LayerWavenumbers& w,
                              const PerLayer<LayerTerms<Cx>>& lt) {
  return InterfaceInputs<Cx>{cx(m.rho[ik - 1]), cx(m.rho[ik]), w.cnu[ik - 1],   w.cnu[ik],
                             w.cgam[ik - 1],    w.cgam[ik],    lt[ik - 1].cad,  lt[ik].cad,
                             lt[ik - 1].cbr,    lt[ik].cbr,    lt[ik - 1].rhob, lt[ik].rhob};
}

#if LG_AVX2_LANES
// Interfaces first ... last (at most four) in lanes; the last lane repeats where fewer.
LG_TARGET_AVX2 void interfaces_in_lanes(int first, int last, Cx k, const LayerModel& m,
                                        const LayerWavenumbers& w,
                                        const PerLayer<LayerTerms<Cx>>& lt,
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
#endif

}  // namespace

void interface_coefficients(const LayerModel& m, const Wavenumber& wk, const LayerMedium& med,
                            const LayerWavenumbers& w, InterfaceCoefficients& o,
                            [[maybe_unused]] Lanes lanes) {
  const Cx ai = kI;
  const Cx k = cx(wk.ak2);
  const int nc = m.nc;
  const Cx one = cx(1.0);
  const Cx two = cx(2.0);

  // Free surface.
  o.ru[1] = free_surface(med.ckb2[1], w.cnu[1], w.cgam[1], k);
  o.tu[1] = M2{};
  o.rush[1] = one;
  o.tush[1] = Cx{};

  PerLayer<LayerTerms<Cx>> lt;
  for (int ic = 1; ic <= nc; ++ic) {
    const Cx r = cx(m.rho[ic]);
    lt[ic] = layer_terms(r, two * r, med.ckb2[ic], k, one, two);
  }

  int ik = 2;
#if LG_AVX2_LANES
  if (lanes == Lanes::avx2) {
    for (; ik <= nc; ik += 4) interfaces_in_lanes(ik, std::min(ik + 3, nc), k, m, w, lt, o);
  }
#endif
  for (; ik <= nc; ++ik) {
    InterfaceValues<Cx> v;
    interface_values(inputs_of(ik, m, w, lt), k, v);
    store_interface(ik, v, o);
  }
  if (med.nfluid > 0) fluid_interfaces(med.nfluid, m, wk, med, w, o);

  // Phase factors of every layer above the half-space.
  for (int j = 1; j < nc; ++j) {
    o.enuh[j] = layer_phase(ai, w.cnu[j], m.hc[j]);
    o.egamh[j] = layer_phase(ai, w.cgam[j], m.hc[j]);
  }
}

}  // namespace lg
