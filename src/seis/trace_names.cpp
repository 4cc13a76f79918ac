#include "seis/trace_names.h"

#include <array>
#include <cmath>
#include <numbers>

namespace lg::seis {

std::string element_label(int element) {
  static const std::array<const char*, kElements> kLabels = {"Mxy",     "Mxz",     "-Myz",
                                                             "Mzz-Mxx", "Mzz-Myy", "Mxx+Myy+Mzz"};
  return kLabels.at(static_cast<std::size_t>(element));
}

char component_letter(int component) { return std::array<char, kComponents>{'x', 'y', 'z'}.at(static_cast<std::size_t>(component)); }

std::string trace_code(int element, int component) {
  return "e" + std::to_string(element + 1) + component_letter(component);
}

std::string base_name(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string station_code(const std::string& path) {
  const std::string name = base_name(path);
  const std::size_t dot = name.find('.');
  if (dot == std::string::npos || dot == 0 || dot > 8) return "-";
  return name.substr(0, dot);
}

ReceiverGeometry receiver_geometry(const ResultFile& r) {
  ReceiverGeometry g;
  const double dx = r.xr - r.XS;
  const double dy = r.yr - r.YS;
  g.distance = std::hypot(dx, dy);
  if (g.distance > 0.0) {
    double az = std::atan2(dy, dx) * 180.0 / std::numbers::pi;
    if (az < 0.0) az += 360.0;
    double baz = az + 180.0;
    if (baz >= 360.0) baz -= 360.0;
    g.azimuth = az;
    g.back_azimuth = baz;
  }
  return g;
}

}  // namespace lg::seis
