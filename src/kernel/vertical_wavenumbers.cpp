#include "kernel/vertical_wavenumbers.h"

#include <algorithm>

#include "kernel/constants.h"

#if LG_AVX2_LANES
#include "kernel/complex_lanes.h"
#endif

namespace lg {

namespace {

// Square root with non-positive imaginary part, so that exp(-i*root*z) decays with z.
Cx vertical_root(Cx cc) {
  Cx r = csqrt(cc);
  if (r.im > 0.0) r = -r;
  return r;
}

#if LG_AVX2_LANES
// vertical_root per lane.
LG_AVX2_OP lanes::C4 vertical_root4(lanes::C4 cc) {
  const lanes::C4 r = lanes::csqrt4(cc);
  return lanes::select_v(reinterpret_cast<lanes::I4>(r.im > lanes::D4{}), -r, r);
}

LG_LANE_OP lanes::C4 gather(const PerLayer<Cx>& v, int first, int last) {
  lanes::C4 r;
  for (int j = 0; j < 4; ++j) {
    const Cx c = v[first + j <= last ? first + j : last];
    r.re[j] = c.re;
    r.im[j] = c.im;
  }
  return r;
}

// Layers first ... last (at most four) in lanes; the last lane repeats where fewer.
LG_TARGET_AVX2 void layers_in_lanes(int first, int last, Cx k2, double ak2, const LayerMedium& m,
                                    LayerWavenumbers& out) {
  const lanes::C4 k = lanes::splat(cx(ak2));
  const lanes::C4 nu = vertical_root4(gather(m.cka2, first, last) - k);
  const lanes::C4 gam = vertical_root4(gather(m.ckb2, first, last) - k);
  const lanes::C4 kig = lanes::splat(k2) / lanes::divisor(nu);
  for (int j = 0; first + j <= last; ++j) {
    out.cnu[first + j] = lanes::lane(nu, j);
    out.cgam[first + j] = lanes::lane(gam, j);
    out.ckig[first + j] = lanes::lane(kig, j);
  }
}
#endif

}  // namespace

void vertical_wavenumbers(int nc, const Wavenumber& k, const LayerMedium& m, LayerWavenumbers& out,
                          [[maybe_unused]] Lanes lanes) {
  const Cx k2 = cx(k.ak * k.ak) / kI;
  int ic = 1;
#if LG_AVX2_LANES
  if (lanes == Lanes::avx2) {
    for (; ic <= nc; ic += 4) layers_in_lanes(ic, std::min(ic + 3, nc), k2, k.ak2, m, out);
  }
#endif
  for (; ic <= nc; ++ic) {
    out.cnu[ic] = vertical_root(m.cka2[ic] - cx(k.ak2));
    out.cgam[ic] = vertical_root(m.ckb2[ic] - cx(k.ak2));
    out.ckig[ic] = k2 / out.cnu[ic];
  }
  // No S waves in fluid layers: a zero S wavenumber keeps their S phase factors at 1.
  for (ic = 1; ic <= m.nfluid; ++ic) out.cgam[ic] = Cx{};
}

}  // namespace lg
