#include "kernel/source_receiver_placement.h"

#include <cmath>
#include <utility>

namespace lg {

void depth_form_to_thicknesses(Dim1e& e, int nc) {
  // A zero first entry means the column holds the depths of the layer tops.
  if (e.hc[1] == 0.0) {
    for (int ic = 1; ic <= nc - 1; ++ic) e.hc[ic] = e.hc[ic + 1] - e.hc[ic];
  }
}

void initda(Context& c) {
  depth_form_to_thicknesses(c.dim1e, c.dim1d.NC);
  place_in_layers(c);
}

void place_in_layers(Context& c) {
  Dim1b& b = c.dim1b;
  Dim1d& d = c.dim1d;
  const Dim1e& e = c.dim1e;
  const Dim1c& s = c.dim1c;
  const int nr = d.NR;
  const int nc = d.NC;

  // Exchange sort into ascending depth; equal depths are never exchanged with each other.
  for (int ir1 = 1; ir1 <= nr - 1; ++ir1) {
    for (int ir2 = ir1 + 1; ir2 <= nr; ++ir2) {
      if (b.zr[ir1] > b.zr[ir2]) {
        std::swap(b.xr[ir1], b.xr[ir2]);
        std::swap(b.yr[ir1], b.yr[ir2]);
        std::swap(b.zr[ir1], b.zr[ir2]);
      }
    }
  }

  // Receivers strictly shallower than the source come first after the ordering.
  d.nrup = 0;
  for (int ir = 1; ir <= nr; ++ir) {
    if (b.zr[ir] < s.ZS) d.nrup = ir;
  }

  for (int ir = 1; ir <= nr; ++ir) {
    const double dx = b.xr[ir] - s.XS;
    const double dy = b.yr[ir] - s.YS;
    d.rr[ir] = std::sqrt(dx * dx + dy * dy);
  }
  for (int ir = 1; ir <= nr; ++ir) {
    if (d.rr[ir] != 0.0) {
      b.caz[ir] = (b.xr[ir] - s.XS) / d.rr[ir];
      b.saz[ir] = (b.yr[ir] - s.YS) / d.rr[ir];
    } else {
      b.caz[ir] = 1.0;
      b.saz[ir] = 0.0;
    }
  }

  // A point on an interface belongs to the layer above it.
  d.ls = 1;
  d.zsl = s.ZS;
  for (int ic = 1; ic <= nc - 1; ++ic) {
    if (!(d.zsl > e.hc[ic])) break;
    d.zsl = d.zsl - e.hc[ic];
    d.ls = ic + 1;
  }
  for (int ir = 1; ir <= nr; ++ir) {
    d.lr[ir] = 1;
    d.zrl[ir] = b.zr[ir];
    for (int ic = 1; ic <= nc - 1; ++ic) {
      if (!(d.zrl[ir] > e.hc[ic])) break;
      d.zrl[ir] = d.zrl[ir] - e.hc[ic];
      d.lr[ir] = ic + 1;
    }
  }
}

}  // namespace lg
