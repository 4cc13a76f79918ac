// Static displacements of a bank: per row one sampling, per (station, row) one call of the
// static kernel with the row's subfaults as sources seen from the station. A signal is noticed
// between units (Interrupted is rethrown on the calling thread).
#include "bank/bank_statics.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <exception>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>

#include "kernel/gradient_spectra.h"
#include "kernel/layout.h"
#include "run/interrupt.h"

namespace lg {

namespace {

// The static kernel's limit on the samples of one sum.
constexpr double kMaxStaticSamples = 2.0e7;

// The receivers of a (station, row) unit: the station at the surface at its offsets from the
// row's subfaults (the source of each pair is at the subfault's epicentre).
std::vector<StaticReceiver> unit_receivers(const BankPlan& p, int station, int row) {
  std::vector<StaticReceiver> r;
  for (int f : p.fault.rows[static_cast<std::size_t>(row)]) {
    const std::size_t i = p.at(station, f);
    r.push_back(
        StaticReceiver{p.dx[i], p.dy[i], p.stations[static_cast<std::size_t>(station)].depth});
  }
  return r;
}

double row_depth(const BankPlan& p, std::size_t row) {
  return p.fault.subfaults[static_cast<std::size_t>(p.fault.rows[row].front())].depth;
}

// The static kernel's tolerance on equal depths, relative to the largest distance or depth of
// a call (as static_displacements.cpp judges them).
constexpr double kSameDepth = 1e-12;

// Static strain and rotation are not computed at the source's depth: a bank that asks for them
// refuses such a pair while it is planned.
void refuse_level_pairs(const BankConfig& c, const BankPlan& p, std::size_t row) {
  const double depth = row_depth(p, row);
  for (std::size_t s = 0; s < p.stations.size(); ++s) {
    const std::vector<StaticReceiver> r =
        unit_receivers(p, static_cast<int>(s), static_cast<int>(row));
    double scale = depth;
    for (const StaticReceiver& q : r) scale = std::max({scale, std::hypot(q.x, q.y), q.depth});
    for (std::size_t k = 0; k < r.size(); ++k) {
      if (std::abs(r[k].depth - depth) > kSameDepth * scale) continue;
      throw BankError(c.path + ":" + std::to_string(c.quantities_line) + ": statics: station " +
                      p.stations[s].name + " lies at the depth of subfault " +
                      std::to_string(p.fault.rows[row][k] + 1) +
                      ": static strain and rotation are not computed there (give statics = "
                      "false, or quantities = [\"displacement\"])");
    }
  }
}

}  // namespace

std::vector<StaticLayer> static_layers(const std::vector<LayerRow>& layers) {
  std::vector<StaticLayer> out;
  for (const LayerRow& l : layers) out.push_back(StaticLayer{l.thickness, l.vp, l.vs, l.rho});
  return out;
}

std::vector<RowStaticSampling> plan_statics(const BankConfig& c, const BankPlan& p) {
  const std::vector<StaticLayer> layers = static_layers(c.layers);
  std::vector<RowStaticSampling> out;
  for (std::size_t row = 0; row < p.row_count(); ++row) {
    const double depth = row_depth(p, row);
    std::vector<StaticReceiver> all;
    for (std::size_t s = 0; s < p.stations.size(); ++s) {
      const std::vector<StaticReceiver> r =
          unit_receivers(p, static_cast<int>(s), static_cast<int>(row));
      for (std::size_t k = 0; k < r.size(); ++k) {
        if (depth == r[k].depth && r[k].x == 0.0 && r[k].y == 0.0) {
          const int f = p.fault.rows[row][k];
          throw BankError(c.path + ":" + std::to_string(c.fault.line) + ": statics: station " +
                          p.stations[s].name + " lies at subfault " + std::to_string(f + 1) +
                          (depth == 0.0 ? ", which is on the surface" : "") +
                          ": its static displacement is infinite");
        }
      }
      all.insert(all.end(), r.begin(), r.end());
    }
    if (c.strain || c.rotation) refuse_level_pairs(c, p, row);
    RowStaticSampling rs;
    try {
      rs.sampling = choose_static_sampling(layers, depth, all);
    } catch (const std::invalid_argument& e) {
      throw BankError(c.path + ":" + std::to_string(c.fault.line) + ": statics: row " +
                      std::to_string(row + 1) + ": " + e.what());
    }
    const double steps = std::ceil(rs.sampling.kmax / rs.sampling.dk);
    if (!(steps <= kMaxStaticSamples)) {
      throw BankError(c.path + ":" + std::to_string(c.fault.line) + ": statics: row " +
                      std::to_string(row + 1) + " would need " + std::to_string(steps) +
                      " wavenumber samples (stations far from subfaults very near the surface)");
    }
    rs.samples = 2 * ((static_cast<long>(steps) + 1) / 2);
    out.push_back(rs);
  }
  return out;
}

std::vector<double> bank_statics(const BankConfig& c, const BankPlan& p, int threads, bool force,
                                 const Quantity& quantity) {
  const std::vector<StaticLayer> layers = static_layers(c.layers);
  const std::vector<RowStaticSampling> sampling = plan_statics(c, p);
  const std::size_t ns = p.stations.size(), nf = p.subfault_count(), rows = p.row_count();
  const auto sources = static_cast<std::size_t>(force ? kForceCount : kElements);
  const std::size_t per = sources * static_cast<std::size_t>(quantity.count());
  std::vector<double> out(ns * nf * per, 0.0);
  // Strain or rotation from the static displacement gradients, as layergreen.statics forms them.
  const auto derived = [&](const auto& gradients, const std::vector<int>& subfaults, int station) {
    for (std::size_t k = 0; k < gradients.size(); ++k) {
      double* to = out.data() + p.at(station, subfaults[k]) * per;
      for (std::size_t e = 0; e < sources; ++e) {
        Gradient g{};
        for (std::size_t j = 0; j < g.size(); ++j) g[j] = cx(gradients[k][e][j]);
        std::array<Cx, 6> v{};
        gradient_quantity(quantity, g, v.data());
        for (std::size_t i = 0; i < static_cast<std::size_t>(quantity.count()); ++i) {
          to[e * static_cast<std::size_t>(quantity.count()) + i] = v[i].re;
        }
      }
    }
  };
  // Units (station, row), largest rows first so that the threads finish together.
  std::vector<std::pair<int, int>> units;
  for (std::size_t row = 0; row < rows; ++row) {
    for (std::size_t s = 0; s < ns; ++s) {
      units.emplace_back(static_cast<int>(s), static_cast<int>(row));
    }
  }
  std::stable_sort(units.begin(), units.end(), [&](const auto& a, const auto& b) {
    const auto cost = [&](int row) {
      const std::size_t r = static_cast<std::size_t>(row);
      return static_cast<double>(sampling[r].samples) * static_cast<double>(p.fault.rows[r].size());
    };
    return cost(a.second) > cost(b.second);
  });
  std::atomic<std::size_t> next{0};
  std::exception_ptr failure;
  std::mutex failure_lock;
  const auto work = [&] {
    for (std::size_t u = next++; u < units.size(); u = next++) {
      const auto [station, row] = units[u];
      const std::size_t r = static_cast<std::size_t>(row);
      try {
        check_interrupt();
        const std::vector<int>& subfaults = p.fault.rows[r];
        const std::vector<StaticReceiver> at = unit_receivers(p, station, row);
        if (&quantity != &kDisplacement) {
          if (force) {
            derived(static_force_gradients(layers, row_depth(p, r), at, sampling[r].sampling),
                    subfaults, station);
          } else {
            derived(static_gradients(layers, row_depth(p, r), at, sampling[r].sampling), subfaults,
                    station);
          }
          continue;
        }
        if (force) {
          const std::vector<StaticForceDisplacement> d = static_force_displacements(
              layers, row_depth(p, r), unit_receivers(p, station, row), sampling[r].sampling);
          for (std::size_t k = 0; k < d.size(); ++k) {
            copy_flat(d[k], out.data() + p.at(station, subfaults[k]) * per);
          }
          continue;
        }
        const std::vector<StaticDisplacement> d = static_displacements(
            layers, row_depth(p, r), unit_receivers(p, station, row), sampling[r].sampling);
        for (std::size_t k = 0; k < d.size(); ++k) {
          copy_flat(d[k], out.data() + p.at(station, subfaults[k]) * kElementComponents);
        }
      } catch (...) {
        const std::lock_guard<std::mutex> hold(failure_lock);
        if (!failure) failure = std::current_exception();
        next = units.size();
      }
    }
  };
  const int n = std::max(1, std::min<int>(threads, static_cast<int>(units.size())));
  std::vector<std::thread> pool;
  for (int t = 1; t < n; ++t) pool.emplace_back(work);
  work();
  for (std::thread& t : pool) t.join();
  if (failure) std::rethrow_exception(failure);
  return out;
}

void check_quantities(const BankConfig& c, const BankPlan& p) {
  if (!c.strain && !c.rotation) return;
  const std::string at = c.path + ":" + std::to_string(c.quantities_line) + ": quantities: ";
  for (const LayerRow& l : c.layers) {
    if (l.vs == 0.0) {
      throw BankError(at +
                      "strain and rotation are not computed in models with fluid layers (vs = "
                      "0); give quantities = [\"displacement\"]");
    }
  }
  for (std::size_t s = 0; s < p.stations.size(); ++s) {
    for (std::size_t f = 0; f < p.subfault_count(); ++f) {
      const std::size_t i = p.at(static_cast<int>(s), static_cast<int>(f));
      if (p.dx[i] != 0.0 || p.dy[i] != 0.0) continue;
      throw BankError(at + "station " + p.stations[s].name +
                      " lies on the vertical through subfault " + std::to_string(f + 1) +
                      ": strain and rotation are not computed there");
    }
  }
}

}  // namespace lg
