#include "kernel/source_receiver_placement.h"

#include <cmath>
#include <utility>

namespace lg {

LayerModel layer_thicknesses(const LayerModel& as_read) {
  LayerModel e = as_read;
  if (e.hc[1] == 0.0) {
    for (int ic = 1; ic <= e.nc - 1; ++ic) e.hc[ic] = e.hc[ic + 1] - e.hc[ic];
  }
  return e;
}

void place_source_and_receivers(const LayerModel& e, const SourcePosition& s,
                                const ReceiverPositions& as_given, ReceiverPositions& b,
                                Placement& d) {
  b = as_given;
  const int nr = b.nr;
  const int nc = e.nc;
  d.nr = nr;
  d.nc = nc;
  const auto slots = static_cast<std::size_t>(nr + 1);
  d.lr.assign(slots, 0);
  d.zrl.assign(slots, 0.0);
  d.rr.assign(slots, 0.0);
  d.on_interface.assign(slots, 0);

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
    if (b.zr[ir] < s.z) d.nrup = ir;
  }

  for (int ir = 1; ir <= nr; ++ir) {
    const double dx = b.xr[ir] - s.x;
    const double dy = b.yr[ir] - s.y;
    d.rr[ir] = std::sqrt(dx * dx + dy * dy);
  }
  for (int ir = 1; ir <= nr; ++ir) {
    if (d.rr[ir] != 0.0) {
      b.caz[ir] = (b.xr[ir] - s.x) / d.rr[ir];
      b.saz[ir] = (b.yr[ir] - s.y) / d.rr[ir];
    } else {
      b.caz[ir] = 1.0;
      b.saz[ir] = 0.0;
    }
  }

  d.ls = 1;
  d.zsl = s.z;
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
    const int l = d.lr[ir];
    d.on_interface[ir] = l < nc && d.zrl[ir] == e.hc[l] ? 1 : 0;
  }
}

}  // namespace lg
