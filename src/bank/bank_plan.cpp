// The bank's plan from its configuration: stations, offsets, data sets, sampling, estimates.
#include "bank/bank_plan.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <sstream>

#include "bank/bank_pressure.h"
#include "bank/bank_statics.h"
#include "bank/geodesy.h"
#include "kernel/constants.h"
#include "kernel/layout.h"

namespace lg {

namespace {

std::string num(double v) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.6g", v);
  return buf;
}

std::string duration(double seconds) {
  char buf[64];
  if (seconds < 120.0) {
    std::snprintf(buf, sizeof buf, "%.1f s", seconds);
  } else if (seconds < 7200.0) {
    std::snprintf(buf, sizeof buf, "%.0f min", seconds / 60.0);
  } else {
    std::snprintf(buf, sizeof buf, "%.1f h", seconds / 3600.0);
  }
  return buf;
}

std::string bytes(double b) {
  char buf[64];
  if (b < 1024.0 * 1024.0) {
    std::snprintf(buf, sizeof buf, "%.0f kB", b / 1000.0);
  } else if (b < 1e9) {
    std::snprintf(buf, sizeof buf, "%.1f MB", b / 1e6);
  } else {
    std::snprintf(buf, sizeof buf, "%.2f GB", b / 1e9);
  }
  return buf;
}

void place_stations(const BankConfig& c, BankPlan& p) {
  const GeoPoint origin{c.fault.origin_lat, c.fault.origin_lon};
  for (const StationSpec& s : c.stations) {
    StationPlace st;
    st.name = s.name;
    st.geo = s.geo;
    if (s.geo) {
      st.lat = s.lat;
      st.lon = s.lon;
      const LocalPoint l = to_local(origin, GeoPoint{s.lat, s.lon});
      st.x = l.x;
      st.y = l.y;
    } else {
      st.x = s.x;
      st.y = s.y;
    }
    st.depth = s.depth;
    p.stations.push_back(st);
  }
}

void offsets(const BankConfig& c, BankPlan& p) {
  const std::size_t n = p.stations.size() * p.subfault_count();
  p.dx.assign(n, 0.0);
  p.dy.assign(n, 0.0);
  p.distance.assign(n, 0.0);
  p.azimuth.assign(n, 0.0);
  p.back_azimuth.assign(n, 0.0);
  const GeoPoint origin{c.fault.origin_lat, c.fault.origin_lon};
  std::vector<GeoPoint> subfault_geo;
  if (c.fault.geo) {
    for (const Subfault& sf : p.fault.subfaults) {
      subfault_geo.push_back(to_geo(origin, LocalPoint{sf.x, sf.y}));
    }
  }
  for (std::size_t s = 0; s < p.stations.size(); ++s) {
    const StationPlace& st = p.stations[s];
    for (std::size_t f = 0; f < p.subfault_count(); ++f) {
      const std::size_t i = p.at(static_cast<int>(s), static_cast<int>(f));
      if (st.geo) {
        const GeodesicLeg l = geodesic_leg(subfault_geo[f], GeoPoint{st.lat, st.lon});
        p.distance[i] = l.distance_km;
        p.azimuth[i] = l.azimuth_deg;
        p.back_azimuth[i] = l.back_azimuth_deg;
        p.dx[i] = l.distance_km * std::cos(l.azimuth_deg * kPiFull / 180.0);
        p.dy[i] = l.distance_km * std::sin(l.azimuth_deg * kPiFull / 180.0);
      } else {
        const Subfault& sf = p.fault.subfaults[f];
        p.dx[i] = st.x - sf.x;
        p.dy[i] = st.y - sf.y;
        p.distance[i] = std::hypot(p.dx[i], p.dy[i]);
        double a = std::atan2(p.dy[i], p.dx[i]) * 180.0 / kPiFull;
        if (a < 0.0) a += 360.0;
        p.azimuth[i] = a;
        p.back_azimuth[i] = a < 180.0 ? a + 180.0 : a - 180.0;
      }
    }
  }
}

}  // namespace

SamplingBounds sampling_bounds(const BankConfig& c, const BankPlan& p) {
  SamplingBounds b;
  for (const LayerRow& l : c.layers) b.add_layer(l.vp, l.vs);
  for (std::size_t s = 0; s < p.stations.size(); ++s) {
    for (std::size_t f = 0; f < p.subfault_count(); ++f) {
      const std::size_t i = p.at(static_cast<int>(s), static_cast<int>(f));
      b.add_receiver(p.dx[i], p.dy[i], p.fault.subfaults[f].depth - p.stations[s].depth);
    }
  }
  return b;
}

SamplingValues sampling_values(const BankConfig& c, const BankPlan& p) {
  return SamplingValues{c.nfreq, c.tl, p.xl, p.ikmax, c.uconv};
}

namespace {

void choose_sampling(const BankConfig& c, BankPlan& p) {
  const SamplingBounds b = sampling_bounds(c, p);
  if (c.xl) {
    p.xl = *c.xl;
  } else {
    std::string why;
    p.xl = automatic_xl(b, c.tl, &why);
    p.choices.push_back(why);
  }
  if (c.ikmax) {
    p.ikmax = *c.ikmax;
  } else {
    double depth_min = p.fault.subfaults.front().depth;
    for (const Subfault& sf : p.fault.subfaults) depth_min = std::min(depth_min, sf.depth);
    if (!(depth_min > 0.0)) {
      throw BankError(c.path + ":" + std::to_string(c.fault.line) +
                      ": sampling: ikmax = \"auto\" needs every subfault below the surface "
                      "(a subfault is at depth 0); give ikmax");
    }
    std::string why;
    p.ikmax = automatic_ikmax(b, sampling_values(c, p), &why);
    p.choices.push_back(why);
  }
}

}  // namespace

BankPlan plan_bank(const BankConfig& c) {
  BankPlan p;
  p.fault = fault_subfaults(c.fault, c.path);
  place_stations(c, p);
  offsets(c, p);
  choose_sampling(c, p);
  for (std::size_t s = 0; s < p.stations.size(); ++s) {
    for (std::size_t r = 0; r < p.row_count(); ++r) {
      p.data_sets.push_back(BankDataSet{static_cast<int>(s), static_cast<int>(r)});
      p.steps += static_cast<double>(c.nfreq) * (p.ikmax + 1.0) *
                 static_cast<double>(p.fault.rows[r].size());
    }
  }
  return p;
}

SpectraRequest data_set_request(const BankConfig& c, const BankPlan& p, const BankDataSet& d) {
  SpectraRequest q;
  q.layers = c.layers;
  q.nfreq = c.nfreq;
  q.tl = c.tl;
  q.aw = c.aw;
  q.xl = p.xl;
  q.ikmax = p.ikmax;
  q.uconv = c.uconv;
  q.q_law = c.q_law;
  q.q_reference_hz = c.q_reference_hz;
  q.sources.force = c.force;
  q.sources.gradient = c.strain || c.rotation;
  const std::vector<int>& row = p.fault.rows[static_cast<std::size_t>(d.row)];
  q.source_depth = p.fault.subfaults[static_cast<std::size_t>(row.front())].depth;
  for (int f : row) {
    const std::size_t i = p.at(d.station, f);
    q.x.push_back(p.dx[i]);
    q.y.push_back(p.dy[i]);
    q.depth.push_back(p.stations[static_cast<std::size_t>(d.station)].depth);
  }
  return q;
}

std::vector<double> subfault_rigidity(const BankConfig& c, const BankPlan& p,
                                      std::size_t* on_interface) {
  std::vector<double> mu;
  std::size_t interfaces = 0;
  for (const Subfault& sf : p.fault.subfaults) {
    // The layers' tops by adding up the thicknesses; the half-space below the last.
    double top = 0.0;
    std::size_t k = 0;
    for (; k + 1 < c.layers.size(); ++k) {
      const double bottom = top + c.layers[k].thickness;
      if (sf.depth < bottom) break;
      top = bottom;
    }
    if (k > 0 && sf.depth == top) ++interfaces;
    mu.push_back(c.layers[k].rho * c.layers[k].vs * c.layers[k].vs);
  }
  if (on_interface != nullptr) *on_interface = interfaces;
  return mu;
}

double bank_file_bytes(const BankConfig& c, const BankPlan& p) {
  const double st = static_cast<double>(p.stations.size());
  // The displacement's values per receiver and frequency, and the strain's and rotation's.
  const double sources = kElements + (c.force ? kForceCount : 0);
  const double values = sources * (kComponents + (c.strain ? kStrain.count() : 0) +
                                   (c.rotation ? kRotation.count() : 0));
  // The pressure's spectra (no static values).
  const double spectra = values + (c.pressure ? kElements * kPressure.count() : 0);
  return st * static_cast<double>(p.subfault_count()) * (c.statics ? values * 8.0 : 0.0) +
         st * static_cast<double>(p.subfault_count()) * c.nfreq * spectra *
             (c.single ? 8.0 : 16.0) +
         st * static_cast<double>(p.row_count()) * c.nfreq * 4.0 +
         st * static_cast<double>(p.subfault_count()) * 4 * 8.0;
}

std::string plan_summary(const BankConfig& c, const BankPlan& p, int threads) {
  // Cost of a wavenumber step measured on the project's build machine (README,
  // Performance): about 1.7 us per step and 0.09 us per step and receiver.
  double seconds = 0.0;
  for (const BankDataSet& d : p.data_sets) {
    const double receivers =
        static_cast<double>(p.fault.rows[static_cast<std::size_t>(d.row)].size());
    // The gradient sums of strain and rotation: about 2.1 times the per-receiver work
    // (docs/strain.md, Cost).
    const double per_receiver = (c.strain || c.rotation ? 2.1 : 1.0) * 0.09e-6;
    const double step = 1.7e-6 + per_receiver * receivers;
    // With the pressure each data set is computed once more, alone, with the pressure's sums
    // (about the displacement's again); a station in the water is computed that way only.
    const bool in_water =
        p.stations[static_cast<std::size_t>(d.station)].depth < sea_floor_depth(c.layers);
    seconds += c.nfreq * (p.ikmax + 1.0) *
               (c.pressure ? (in_water ? 0.0 : step) + step + per_receiver * receivers : step);
  }
  // The forces' sums add about a quarter to the work of a receiver (docs/forces.md).
  if (c.force) seconds *= 1.25;
  seconds /= std::max(1.0, 0.85 * threads);
  std::ostringstream s;
  s << "bank " << c.path << " -> " << c.output << "\n";
  s << "  stations: " << p.stations.size() << ", subfaults: " << p.subfault_count() << " in "
    << p.row_count() << " rows, layers: " << c.layers.size()
    << ", q_law: " << (c.q_law == QLaw::kClassic ? "classic" : "constant-q") << "\n";
  s << "  sampling: nfreq " << c.nfreq << ", tl " << num(c.tl) << ", aw " << num(c.aw) << ", xl "
    << num(p.xl) << ", ikmax " << p.ikmax << ", uconv " << num(c.uconv) << "\n";
  for (const std::string& why : p.choices) s << "  " << why << "\n";
  s << "  data sets: " << p.data_sets.size() << " (station x row)\n";
  if (c.force) {
    s << "  sources: moment tensor and forces (/force_spectra"
      << (c.statics ? ", /force_statics" : "") << ")\n";
  }
  if (c.strain || c.rotation) {
    std::string sets;
    for (const char* q : {"strain", "rotation"}) {
      if (!(std::string(q) == "strain" ? c.strain : c.rotation)) continue;
      sets += std::string(sets.empty() ? "" : ", ") + "/" + q + "_spectra" +
              (c.force ? ", /force_" + std::string(q) + "_spectra" : "") +
              (c.statics ? ", /" + std::string(q) + "_statics" : "") +
              (c.statics && c.force ? ", /force_" + std::string(q) + "_statics" : "");
    }
    s << "  quantities: displacement, " << (c.strain ? "strain" : "")
      << (c.strain && c.rotation ? ", " : "") << (c.rotation ? "rotation" : "") << " (" << sets
      << ")\n";
  }
  if (c.pressure) {
    s << "  quantities: displacement, pressure (/pressure_spectra; every data set computed alone "
         "with the pressure)\n";
  }
  s << "  steps: at most " << num(p.steps)
    << " (wavenumber steps x receivers, every frequency to ikmax)\n";
  s << "  time: at most about " << duration(seconds) << " on " << threads
    << (threads == 1 ? " thread" : " threads")
    << (c.uconv > 0.0 ? " (convergence usually stops the sums earlier)" : "") << "\n";
  if (c.statics) {
    // About 0.3 us per wavenumber sample and receiver (three Bessel functions and the sums).
    const std::vector<RowStaticSampling> rows = plan_statics(c, p);
    double work = 0.0;
    bool below = false;  // stations below the free surface, or water over the solid
    for (const StationPlace& st : p.stations) below = below || st.depth != 0.0;
    for (const LayerRow& l : c.layers) below = below || l.vs == 0.0;
    s << "  statics: Simpson sum over k = n dk to kmax, per row xl = 2 pi/dk = 60 x the largest "
         "distance or depth, kmax = 30 / "
      << (below ? "the nearest source-station depth difference" : "source depth") << "\n";
    for (std::size_t r = 0; r < rows.size(); ++r) {
      const double depth =
          p.fault.subfaults[static_cast<std::size_t>(p.fault.rows[r].front())].depth;
      s << "    row " << r + 1 << " (depth " << num(depth) << "): xl "
        << num(2.0 * kPiFull / rows[r].sampling.dk) << ", kmax " << num(rows[r].sampling.kmax)
        << ", " << rows[r].samples << " samples\n";
      work += static_cast<double>(rows[r].samples) * static_cast<double>(p.fault.rows[r].size()) *
              static_cast<double>(p.stations.size());
    }
    // The forces' static values are a second sum of every pair.
    if (c.force) work *= 2.0;
    s << "  statics time: about " << duration(work * 0.3e-6 / std::max(1.0, 0.85 * threads))
      << "\n";
  }
  std::size_t on_interface = 0;
  subfault_rigidity(c, p, &on_interface);
  if (on_interface > 0) {
    s << "  rigidity: " << on_interface << " subfault centre"
      << (on_interface == 1 ? " lies" : "s lie")
      << " on a layer interface; /subfaults/mu takes the layer below\n";
  }
  s << "  file: about " << bytes(bank_file_bytes(c, p))
    << (c.single || c.gzip
            ? std::string(" (") + (c.single ? "single precision" : "") +
                  (c.single && c.gzip ? ", " : "") + (c.gzip ? "before gzip compression" : "") + ")"
            : std::string())
    << "\n";
  return s.str();
}

}  // namespace lg
