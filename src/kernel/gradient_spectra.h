// The closing stage of a frequency for the displacement gradient: scales the gradient sums
// (see kGradientBase) and expands them by azimuth into du_i/dx_j of every element (and force)
// of every receiver, i, j = x north, y east, z up. Horizontal derivatives come from the
// Bessel factors' derivatives in distance and from the azimuthal terms' derivatives, vertical
// ones from the depth terms' derivatives. At the free surface the vertical derivatives follow
// from the horizontal ones by the traction-free condition; on an interface (a receiver exactly
// on it lies in the layer above), from the traction, continuous across it, and the moduli of
// the layer below, so that the gradient is that of the side below.
// Reads the placement, the receivers' azimuths, the layer medium and the sums; writes
// Spectra::gg and Spectra::fgg.
#pragma once

#include "kernel/layout.h"
#include "kernel/records.h"

namespace lg {

void gradient_spectra(const SourceSet& set, const Placement& p, const ReceiverPositions& r,
                      const LayerMedium& med, const WavenumberSums& sums, Spectra& out);

// The components of quantity q (kStrain or kRotation; see layout.h) from a gradient g, into
// out[0 .. q.count() - 1]: the strain (g_ij + g_ji) / 2 as xx, yy, zz, xy, xz, yz; the
// rotation, half the curl by its components along north, east and up:
// (g_yz - g_zy) / 2, (g_zx - g_xz) / 2, (g_xy - g_yx) / 2.
inline void gradient_quantity(const Quantity& q, const Gradient& g, Cx* out) {
  auto at = [&g](int i, int j) { return g[static_cast<std::size_t>(3 * i + j)]; };
  auto half = [](Cx v) { return v * cx(0.5); };
  if (&q == &kStrain) {
    out[0] = at(0, 0);
    out[1] = at(1, 1);
    out[2] = at(2, 2);
    out[3] = half(at(0, 1) + at(1, 0));
    out[4] = half(at(0, 2) + at(2, 0));
    out[5] = half(at(1, 2) + at(2, 1));
  } else {
    out[0] = half(at(1, 2) - at(2, 1));
    out[1] = half(at(2, 0) - at(0, 2));
    out[2] = half(at(0, 1) - at(1, 0));
  }
}

}  // namespace lg
