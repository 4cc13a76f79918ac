// Geodesics on WGS84 through GeographicLib: distances, azimuths, local x/y about an origin.
#include "bank/geodesy.h"

#include <GeographicLib/Geodesic.hpp>
#include <cmath>

#include "kernel/constants.h"

namespace lg {

namespace {

constexpr double kDegree = kPiFull / 180.0;

double azimuth_0_360(double a) {
  const double r = std::fmod(a, 360.0);
  return r < 0.0 ? r + 360.0 : r;
}

}  // namespace

GeodesicLeg geodesic_leg(GeoPoint from, GeoPoint to) {
  const GeographicLib::Geodesic& g = GeographicLib::Geodesic::WGS84();
  double s12 = 0.0, azi1 = 0.0, azi2 = 0.0;
  g.Inverse(from.lat, from.lon, to.lat, to.lon, s12, azi1, azi2);
  return GeodesicLeg{s12 / 1000.0, azimuth_0_360(azi1), azimuth_0_360(azi2 + 180.0)};
}

GeoPoint geodesic_destination(GeoPoint from, double azimuth_deg, double distance_km) {
  const GeographicLib::Geodesic& g = GeographicLib::Geodesic::WGS84();
  GeoPoint p;
  g.Direct(from.lat, from.lon, azimuth_deg, distance_km * 1000.0, p.lat, p.lon);
  return p;
}

LocalPoint to_local(GeoPoint origin, GeoPoint p) {
  const GeodesicLeg l = geodesic_leg(origin, p);
  return LocalPoint{l.distance_km * std::cos(l.azimuth_deg * kDegree),
                    l.distance_km * std::sin(l.azimuth_deg * kDegree)};
}

GeoPoint to_geo(GeoPoint origin, LocalPoint p) {
  const double d = std::hypot(p.x, p.y);
  if (d == 0.0) return origin;
  return geodesic_destination(origin, std::atan2(p.y, p.x) / kDegree, d);
}

}  // namespace lg
