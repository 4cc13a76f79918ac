#include "kernel/source_lanes.h"

#include "kernel/depth_values.h"
#include "kernel/interface_coefficients.h"
#include "kernel/receiver_sums.h"
#include "kernel/receiver_waves.h"
#include "kernel/source_layer_amplitudes.h"

#if LG_AVX2_LANES
#include "kernel/complex_lanes.h"
#endif

namespace lg {

namespace {

// The scalar form: each source by source_layer_amplitudes and receiver_depth_terms.
void one_by_one(int n, const double* zsl, const SourceLayerStep& layer, const LayerWavenumbers& v,
                const StackResponses& st, const DepthKey& key, bool force, DepthTerms* out,
                DepthTerms* slope) {
  // A placement with one receiver at the key's depth.
  Placement p;
  p.ls = layer.ls;
  p.nr = 1;
  p.nrup = key.above ? 1 : 0;
  p.lr.assign(2, key.layer);
  p.zrl.assign(2, key.zrl);
  for (int j = 0; j < n; ++j) {
    p.zsl = zsl[j];
    SourceLayerAmplitudes a;
    source_layer_amplitudes(p, v, st, *layer.inverses, a);
    out[j] = receiver_depth_terms(p, 1, v, st, *layer.transfers, a, *layer.terms, force,
                                  slope != nullptr ? &slope[j] : nullptr);
  }
}

#if LG_AVX2_LANES

using lanes::C4;

#define LG_SOURCE_LANES __attribute__((target("avx2,tune=haswell")))

// One value for every index: the per-layer records of the four lanes' common layer, read by
// the templates at whatever layer they ask for.
template <class T>
struct Same {
  T v;
  const T& operator[](int) const { return v; }
};

LG_SOURCE_LANES Matrix2<C4> lift_m2(const M2& m) {
  return Matrix2<C4>{lift<C4>(m.m11), lift<C4>(m.m12), lift<C4>(m.m21), lift<C4>(m.m22)};
}

struct StackLanes {
  Same<Matrix2<C4>> crdo, crup;
  Same<C4> crdosh, crupsh;
};
struct TransferLanes {
  Same<Matrix2<C4>> ftup, ftdo;
  Same<C4> ftupsh, ftdosh;
};
struct TermLanes {
  C4 cs2, cs3, cs4, cs6, cs7, cs8, cs9, cs5i;
};
struct DepthLanes {
  C4 cu, cu2, cu3, c9, c10, c11, s5, s6, fzr, fzz;
};

LG_SOURCE_LANES void in_lanes(int n, const Cx* egam_s, const Cx* enu_s,
                              const SourceLayerStep& layer, const LayerWavenumbers& v,
                              const StackResponses& st, const DepthKey& key, Cx egam_r, Cx enu_r,
                              bool force, DepthTerms* out) {
  const int ls = layer.ls;
  C4 egam4 = lift<C4>(egam_s[0]);
  C4 enu4 = lift<C4>(enu_s[0]);
  for (int j = 1; j < n; ++j) {
    egam4.re[j] = egam_s[j].re;
    egam4.im[j] = egam_s[j].im;
    enu4.re[j] = enu_s[j].re;
    enu4.im[j] = enu_s[j].im;
  }
  const SourceLayerInverses<Cx>& i = *layer.inverses;
  const SourceLayerInverses<C4> inv{
      Inverse2<C4>{lift<C4>(i.tud.t1), lift<C4>(i.tud.t2), lift<C4>(i.tud.t3), lift<C4>(i.tud.t4)},
      Inverse2<C4>{lift<C4>(i.tdu.t1), lift<C4>(i.tdu.t2), lift<C4>(i.tdu.t3), lift<C4>(i.tdu.t4)},
      lift<C4>(i.tsh)};
  C4 cud[21];
  source_amplitudes_at_depth(lift_m2(st.crdo[ls]), lift<C4>(st.crdosh[ls]), lift_m2(st.crup[ls]),
                             lift<C4>(st.crupsh[ls]), inv, egam4, enu4, cud);
  const int k = key.layer;
  const StackLanes stl{{lift_m2(st.crdo[k])},
                       {lift_m2(st.crup[k])},
                       {lift<C4>(st.crdosh[k])},
                       {lift<C4>(st.crupsh[k])}};
  const SourceTransfers& f = *layer.transfers;
  TransferLanes fl;
  if (key.above) {
    fl.ftup.v = lift_m2(f.ftup[k]);
    fl.ftupsh.v = lift<C4>(f.ftupsh[k]);
  } else {
    fl.ftdo.v = lift_m2(f.ftdo[k]);
    fl.ftdosh.v = lift<C4>(f.ftdosh[k]);
  }
  ReceiverWaveValues<C4> w;
  receiver_waves(k, key.above, stl, fl, cud, w);
  const SourceLayerTerms& s = *layer.terms;
  const TermLanes sl{lift<C4>(s.cs2), lift<C4>(s.cs3), lift<C4>(s.cs4), lift<C4>(s.cs6),
                     lift<C4>(s.cs7), lift<C4>(s.cs8), lift<C4>(s.cs9), lift<C4>(s.cs5i)};
  DepthLanes d;
  if (force) {
    depth_values<true>(w, lift<C4>(v.cgam[k]), lift<C4>(v.cnu[k]), lift<C4>(egam_r),
                       lift<C4>(enu_r), sl, d);
  } else {
    depth_values(w, lift<C4>(v.cgam[k]), lift<C4>(v.cnu[k]), lift<C4>(egam_r), lift<C4>(enu_r), sl,
                 d);
  }
  for (int j = 0; j < n; ++j) {
    DepthTerms& o = out[j];
    o.cu = lanes::lane(d.cu, j);
    o.cu2 = lanes::lane(d.cu2, j);
    o.cu3 = lanes::lane(d.cu3, j);
    o.c9 = lanes::lane(d.c9, j);
    o.c10 = lanes::lane(d.c10, j);
    o.c11 = lanes::lane(d.c11, j);
    o.s5 = lanes::lane(d.s5, j);
    o.s6 = lanes::lane(d.s6, j);
    if (force) {
      o.fzr = lanes::lane(d.fzr, j);
      o.fzz = lanes::lane(d.fzz, j);
    }
  }
}

#endif

}  // namespace

void source_depth_terms(int n, const double* zsl, const SourceLayerStep& layer,
                        const LayerWavenumbers& v, const StackResponses& st, const DepthKey& key,
                        bool force, DepthTerms* out, [[maybe_unused]] Lanes lanes,
                        DepthTerms* slope) {
#if LG_AVX2_LANES
  if (lanes == Lanes::avx2 && slope == nullptr) {
    // The phase factors are library calls, source by source and once for the key, as
    // source_layer_amplitudes and depth_terms form them.
    Cx egam_s[4], enu_s[4];
    for (int j = 0; j < n; ++j) {
      egam_s[j] = depth_phase(v.cgam[layer.ls], cx(zsl[j]));
      enu_s[j] = depth_phase(v.cnu[layer.ls], cx(zsl[j]));
    }
    const Cx zc = cx(key.zrl);
    in_lanes(n, egam_s, enu_s, layer, v, st, key, depth_phase(v.cgam[key.layer], zc),
             depth_phase(v.cnu[key.layer], zc), force, out);
    return;
  }
#endif
  one_by_one(n, zsl, layer, v, st, key, force, out, slope);
}

}  // namespace lg
