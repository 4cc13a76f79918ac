#include "seis/receiver_geometry.h"

#include <cmath>
#include <numbers>

namespace lg::seis {

ReceiverGeometry receiver_geometry(const ResultFile& r) {
  ReceiverGeometry g;
  const double dx = r.xr - r.XS;
  const double dy = r.yr - r.YS;
  g.distance = std::hypot(dx, dy);
  if (g.distance > 0.0) {
    double az = std::atan2(dy, dx) * 180.0 / std::numbers::pi;
    if (az < 0.0) az += 360.0;
    if (az >= 360.0) az = 0.0;  // a tiny negative angle rounded up
    double baz = az + 180.0;
    if (baz >= 360.0) baz -= 360.0;
    g.azimuth = az;
    g.back_azimuth = baz;
  }
  return g;
}

}  // namespace lg::seis
