#include "seis/sac_traces.h"

#include <cmath>
#include <cstddef>
#include <limits>
#include <numbers>
#include <sstream>

#include "seis/receiver_geometry.h"
#include "seis/sac_writer.h"
#include "seis/trace_names.h"

namespace lg::seis {

namespace {

std::string number(double v) {
  std::ostringstream s;
  s.precision(9);
  s << v;
  return s.str();
}

}  // namespace

TraceSite trace_site(const ResultFile& r) {
  const ReceiverGeometry g = receiver_geometry(r);
  return {station_code(r.path), g.distance, g.azimuth, r.ZS, r.zr};
}

std::vector<OutputFile> sac_files(const TraceSite& site, const Seismograms& s, const Processing& p,
                                  const std::string& stem) {
  std::optional<double> baz;
  if (site.azimuth) {
    baz = *site.azimuth + 180.0;
    if (*baz >= 360.0) *baz -= 360.0;
  }
  std::vector<OutputFile> files;
  for (int e = 0; e < kElements; ++e) {
    for (int c = 0; c < kComponents; ++c) {
      SacTrace t;
      t.delta = s.dt;
      t.b = 0.0;
      t.o = 0.0;
      t.iztype = kSacIo;
      t.dist = site.distance;
      t.az = site.azimuth;
      t.baz = baz;
      // Component azimuth and inclination as SAC counts them (x north, y east).
      const OutputComponent& component = kQuantity.components[static_cast<std::size_t>(c)];
      t.cmpaz = component.sac_azimuth;
      t.cmpinc = component.sac_inclination;
      t.user0 = site.source_depth;
      t.user1 = site.receiver_depth;
      t.idep = p.source.gives_displacement() ? kSacIdisp : kSacIvel;
      t.kstnm = site.station;
      t.kcmpnm = trace_code(e, c);
      t.kevnm = element_label(e);
      t.data = s.trace[static_cast<std::size_t>(e)][static_cast<std::size_t>(c)];
      files.push_back({stem + "." + trace_code(e, c) + ".sac", sac_bytes(t)});
    }
  }
  return files;
}

std::optional<std::string> overflow_problem(const Seismograms& s, double aw) {
  for (const auto& element : s.trace) {
    for (const auto& trace : element) {
      for (const double v : trace) {
        if (!std::isfinite(v) || std::abs(v) > std::numeric_limits<float>::max()) {
          return "the time series overflow: AW = " + number(aw) +
                 " makes the damping correction exp(pi*AW) = " +
                 number(std::exp(std::numbers::pi * aw)) + " too large";
        }
      }
    }
  }
  return std::nullopt;
}

}  // namespace lg::seis
