#include "kernel/vertical_wavenumbers.h"

#include "kernel/constants.h"

namespace lg {

namespace {

// Square root with non-positive imaginary part, so that exp(-i*root*z) decays with z.
Cx vertical_root(Cx cc) {
  Cx r = csqrt(cc);
  if (r.im > 0.0) r = -r;
  return r;
}

}  // namespace

void vertical_wavenumbers(int nc, const Wavenumber& k, const LayerMedium& m,
                          LayerWavenumbers& out) {
  const Cx k2 = cx(k.ak * k.ak) / kI;
  for (int ic = 1; ic <= nc; ++ic) {
    out.cnu[ic] = vertical_root(m.cka2[ic] - cx(k.ak2));
    out.cgam[ic] = vertical_root(m.ckb2[ic] - cx(k.ak2));
    out.ckig[ic] = k2 / out.cnu[ic];
  }
}

}  // namespace lg
