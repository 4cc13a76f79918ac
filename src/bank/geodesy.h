// Geodesics on the WGS84 ellipsoid (GeographicLib): distances and azimuths between points
// given by latitude and longitude, and a local frame (x north, y east, km) around an origin
// in which a point at distance d and azimuth a lies at (d cos a, d sin a).
#pragma once

namespace lg {

struct GeoPoint {
  double lat = 0.0, lon = 0.0;  // degrees
};

// The geodesic from one point to another: length in km, azimuth at the start and back
// azimuth at the end, in degrees clockwise from north.
struct GeodesicLeg {
  double distance_km = 0.0;
  double azimuth_deg = 0.0;
  double back_azimuth_deg = 0.0;  // of `from` seen from `to`, in [0, 360)
};

GeodesicLeg geodesic_leg(GeoPoint from, GeoPoint to);

// The point reached from `from` along azimuth `azimuth_deg` after `distance_km`.
GeoPoint geodesic_destination(GeoPoint from, double azimuth_deg, double distance_km);

// Azimuthal equidistant coordinates about an origin: x north, y east, in km.
struct LocalPoint {
  double x = 0.0, y = 0.0;
};
LocalPoint to_local(GeoPoint origin, GeoPoint p);
GeoPoint to_geo(GeoPoint origin, LocalPoint p);

}  // namespace lg
