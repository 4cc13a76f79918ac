#include "run/data_set_spectra.h"

#include <algorithm>
#include <cmath>
#include <numeric>
#include <sstream>
#include <stdexcept>
#include <utility>

#include "kernel/constants.h"
#include "kernel/fluid_layers.h"
#include "kernel/frequency_lanes.h"
#include "kernel/records.h"
#include "kernel/source_receiver_placement.h"
#include "kernel/wavenumber_loop.h"
#include "run/frequency_loop.h"

namespace lg {

namespace {

// Above this size the Bessel values are evaluated in every step instead of tabulated.
constexpr double kMaxBesselTableBytes = 64.0 * 1024 * 1024;
// Frequencies of a single data set computed together, one per lane.
constexpr std::size_t kFrequencyLanes = 4;

}  // namespace

bool share_sweep(const SpectraRequest& a, const SpectraRequest& b) {
  if (a.layers.size() != b.layers.size()) return false;
  for (std::size_t i = 0; i < a.layers.size(); ++i) {
    const LayerRow& p = a.layers[i];
    const LayerRow& q = b.layers[i];
    // The half-space's thickness is not used.
    const bool same_thickness = i + 1 == a.layers.size() || p.thickness == q.thickness;
    if (!same_thickness || p.vp != q.vp || p.vs != q.vs || p.rho != q.rho || p.qp != q.qp ||
        p.qs != q.qs) {
      return false;
    }
  }
  return a.pressure == b.pressure && a.nfreq == b.nfreq && a.tl == b.tl && a.aw == b.aw &&
         a.xl == b.xl && a.ikmax == b.ikmax && a.uconv == b.uconv && a.q_law == b.q_law &&
         a.sources.moment == b.sources.moment && a.sources.force == b.sources.force &&
         a.sources.gradient == b.sources.gradient &&
         (a.q_law == QLaw::kClassic || a.q_reference_hz == b.q_reference_hz);
}

struct SweepState {
  // The first data set's workspace, after the placement of its source and receivers: the model,
  // the anelastic law and the source kinds of the sweep (and a single data set's geometry).
  Workspace shared;
  std::vector<SweepMember> members;  // every data set's own part
  SweepSources sources;
  // The moment tensor alone: the receivers of each source's data sets together (and the
  // Bessel tables are the blocks').
  std::vector<SweepBlock> blocks;
  std::vector<BesselTable> tables;
  Sampling sampling;
  std::size_t nfreq = 0;
  double dfreq = 0.0;
  bool fluid = false;     // the model has fluid layers
  bool pressure = false;  // the pressure in the water is wanted
};

namespace {

// The rules of fluid layers (vs = 0): only at the top, over a solid, with the source in the
// solid; with the pressure, every receiver in the water. Sea-floor receivers go in the solid.
void check_fluid_layers(const SpectraRequest& q, Workspace& w) {
  const int nc = w.model.nc;
  const int nfluid = fluid_layer_count(w.model);
  for (int ic = std::min(nfluid + 1, nc); ic <= nc; ++ic) {
    if (w.model.vs[ic] == 0.0 && (ic > nfluid || ic == nc)) {
      throw std::invalid_argument(
          "layer " + std::to_string(ic) + ": vs = 0 " +
          (ic == nc ? std::string("in the half-space: a fluid half-space is not supported")
                    : std::string("below a solid layer: fluid layers are supported "
                                  "only at the top of the model (an ocean)")));
    }
  }
  if (nfluid == 0) {
    if (q.pressure) {
      throw std::invalid_argument(
          "the pressure needs fluid layers (vs = 0) at the top of the model");
    }
    return;
  }
  place_at_sea_floor(nfluid, w.model, q.pressure, w.placement);
  if (w.placement.ls <= nfluid) {
    throw std::invalid_argument("the source must lie in the solid, at or below the sea floor");
  }
  if (!q.pressure) return;
  for (int ir = 1; ir <= w.placement.nr; ++ir) {
    if (w.placement.lr[ir] > nfluid) {
      std::ostringstream s;
      s << "the pressure is computed in the water only: receiver depth " << w.receivers.zr[ir]
        << " lies below the sea floor";
      throw std::invalid_argument(s.str());
    }
  }
}

// Checks a request and places its source and receivers in w; returns the slot map.
std::vector<int> prepare(const SpectraRequest& q, Workspace& w) {
  const int nc = static_cast<int>(q.layers.size());
  const int nr = static_cast<int>(q.x.size());
  if (nc < 1 || nc > kMaxLayers) {
    throw std::invalid_argument("the model needs 1 to " + std::to_string(kMaxLayers) + " layers");
  }
  if (nr < 1 || q.y.size() != q.x.size() || q.depth.size() != q.x.size()) {
    throw std::invalid_argument("a data set needs at least one receiver with x, y and depth");
  }
  if (!q.sources.moment && !q.sources.force) {
    throw std::invalid_argument("a data set needs at least one source kind");
  }
  w.sources = q.sources;
  if (q.q_law == QLaw::kConstantQ) {
    if (!(std::isfinite(q.q_reference_hz) && q.q_reference_hz > 0.0)) {
      throw std::invalid_argument("the constant-Q law needs a reference frequency above 0");
    }
    w.law = AnelasticLaw{true, kTwoPiFull * q.q_reference_hz};
  }
  w.model.nc = nc;
  for (int ic = 1; ic <= nc; ++ic) {
    const LayerRow& l = q.layers[static_cast<std::size_t>(ic - 1)];
    w.model.hc[ic] = l.thickness;
    w.model.vp[ic] = l.vp;
    w.model.vs[ic] = l.vs;
    w.model.rho[ic] = l.rho;
    w.model.qp[ic] = l.qp;
    w.model.qs[ic] = l.qs;
  }
  ReceiverPositions given(nr);
  for (int s = 1; s <= nr; ++s) {
    given.xr[s] = q.x[static_cast<std::size_t>(s - 1)];
    given.yr[s] = q.y[static_cast<std::size_t>(s - 1)];
    given.zr[s] = q.depth[static_cast<std::size_t>(s - 1)];
  }
  // The placement orders the receivers by depth with an exchange sort; the same exchanges on
  // their request numbers give the slot of each.
  std::vector<double> z = q.depth;
  std::vector<int> slots(static_cast<std::size_t>(nr));
  std::iota(slots.begin(), slots.end(), 0);
  for (std::size_t i1 = 0; i1 + 1 < z.size(); ++i1) {
    for (std::size_t i2 = i1 + 1; i2 < z.size(); ++i2) {
      if (z[i1] > z[i2]) {
        std::swap(z[i1], z[i2]);
        std::swap(slots[i1], slots[i2]);
      }
    }
  }
  w.source = SourcePosition{0.0, 0.0, q.source_depth};
  place_source_and_receivers(w.model, w.source, given, w.receivers, w.placement);
  check_fluid_layers(q, w);
  return slots;
}

// Copies the spectra of w's receivers (w a Workspace or a SweepMember) into out and notes
// whether they are all finite.
template <class W>
void collect(const W& w, std::size_t f, double freq, const FrequencyOutcome& o,
             FrequencySpectra& out) {
  out.index = f;
  out.freq = freq;
  out.iterations = o.ik;
  out.converged = o.converged;
  out.finite = true;
  const int nr = w.placement.nr;
  out.spectra.resize(w.sources.moment ? static_cast<std::size_t>(nr) : 0);
  out.force_spectra.resize(w.sources.force ? static_cast<std::size_t>(nr) : 0);
  for (int slot = 1; slot <= nr; ++slot) {
    if (w.sources.moment) {
      ReceiverSpectra& r = out.spectra[static_cast<std::size_t>(slot - 1)];
      for (int is = 1; is <= kElements; ++is) {
        for (int k = 1; k <= kComponents; ++k) {
          const Cx u = w.spectra.ug[static_cast<std::size_t>(slot)][is][k];
          r[static_cast<std::size_t>(is - 1)][static_cast<std::size_t>(k - 1)] = u;
          if (!std::isfinite(u.re) || !std::isfinite(u.im)) out.finite = false;
        }
      }
    }
    if (w.sources.force) {
      ForceSpectra& r = out.force_spectra[static_cast<std::size_t>(slot - 1)];
      for (int is = 1; is <= kForceCount; ++is) {
        for (int k = 1; k <= kComponents; ++k) {
          const Cx u = w.spectra.fg[static_cast<std::size_t>(slot)][is][k];
          r[static_cast<std::size_t>(is - 1)][static_cast<std::size_t>(k - 1)] = u;
          if (!std::isfinite(u.re) || !std::isfinite(u.im)) out.finite = false;
        }
      }
    }
  }
  const bool g = w.sources.gradient;
  out.gradients.resize(g && w.sources.moment ? static_cast<std::size_t>(nr) : 0);
  out.force_gradients.resize(g && w.sources.force ? static_cast<std::size_t>(nr) : 0);
  auto copy = [&out](const auto& from, auto& to) {
    for (std::size_t e = 0; e < to.size(); ++e) {
      to[e] = from[e + 1];
      for (const Cx v : to[e]) {
        if (!std::isfinite(v.re) || !std::isfinite(v.im)) out.finite = false;
      }
    }
  };
  for (int slot = 1; slot <= nr; ++slot) {
    const auto at = static_cast<std::size_t>(slot);
    if (!out.gradients.empty()) copy(w.spectra.gg[at], out.gradients[at - 1]);
    if (!out.force_gradients.empty()) copy(w.spectra.fgg[at], out.force_gradients[at - 1]);
  }
  out.text.clear();
  out.pressure.clear();
}

void collect_pressure(const PerReceiver<Arr<Cx, kElements>>& pressure, FrequencySpectra& out) {
  out.pressure.resize(out.spectra.size());
  for (std::size_t slot = 0; slot < out.pressure.size(); ++slot) {
    for (int is = 1; is <= kElements; ++is) {
      const Cx p = pressure[slot + 1][is];
      out.pressure[slot][static_cast<std::size_t>(is - 1)] = p;
      if (!std::isfinite(p.re) || !std::isfinite(p.im)) out.finite = false;
    }
  }
}

}  // namespace

SharedSweep::SharedSweep(const std::vector<SpectraRequest>& requests, int /*threads*/)
    : state_(std::make_unique<SweepState>()) {
  if (requests.empty()) throw std::invalid_argument("a sweep needs at least one data set");
  for (const SpectraRequest& q : requests) {
    if (!share_sweep(q, requests.front())) {
      throw std::invalid_argument("data sets of one sweep must share the model and sampling");
    }
  }
  SweepState& st = *state_;
  st.members.resize(requests.size());
  // The data sets after the first are placed in one scratch workspace (they share the model
  // and the law, and the placement rewrites everything else it reads).
  auto scratch = requests.size() > 1 ? std::make_unique<Workspace>() : nullptr;
  for (std::size_t d = 0; d < requests.size(); ++d) {
    Workspace& from = d == 0 ? st.shared : *scratch;
    slot_receiver_.push_back(prepare(requests[d], from));
    SweepMember& m = st.members[d];
    m.sources = from.sources;
    m.receivers = from.receivers;
    m.placement = from.placement;
  }
  st.sources = sweep_sources(st.members);
  const SpectraRequest& q = requests.front();
  st.sampling = make_sampling(q.tl, q.aw, q.xl, q.ikmax, q.uconv);
  st.nfreq = static_cast<std::size_t>(q.nfreq);
  st.dfreq = 1.0 / q.tl;
  st.fluid = fluid_layer_count(st.shared.model) > 0;
  st.pressure = q.pressure;
  if (st.pressure && requests.size() > 1) {
    throw std::invalid_argument("the pressure is computed for one data set at a time");
  }
  const SourceSet& kinds = st.members.front().sources;
  if (requests.size() > 1 && kinds.moment && !kinds.force && !kinds.gradient) {
    st.blocks = sweep_blocks(st.members, st.sources);
  }
  // Bessel tables of the blocks, else of the data sets.
  std::vector<const Placement*> placements;
  for (const SweepBlock& b : st.blocks) placements.push_back(&b.placement);
  if (st.blocks.empty()) {
    for (const SweepMember& m : st.members) placements.push_back(&m.placement);
  }
  st.tables.resize(placements.size());
  for (std::size_t d = 0; d < placements.size(); ++d) {
    const Placement& p = *placements[d];
    const double cells = (static_cast<double>(st.sampling.ikmax) + 1.0) * 2.0 * p.nr;
    if (q.nfreq > 1 && cells * sizeof(double) <= kMaxBesselTableBytes) {
      st.tables[d] = BesselTable(p, st.sampling, st.sampling.ikmax + 1);
    }
  }
}

SharedSweep::~SharedSweep() = default;

void SharedSweep::run(int threads,
                      const std::function<void(std::vector<FrequencySpectra>&)>& on_worker,
                      const std::function<void(std::vector<FrequencySpectra>&)>& sink,
                      const std::function<bool()>& enough) const {
  const SweepState& st = *state_;
  std::vector<const BesselTable*> tables;
  for (const BesselTable& t : st.tables) tables.push_back(t.rows() > 0 ? &t : nullptr);
  // A single data set steps through the wavenumbers with kFrequencyLanes consecutive
  // frequencies together; the data sets of a sweep share each frequency's layer part instead.
  const bool single = st.members.size() == 1;
  auto make_worker = [&]() -> FrequencyWorker {
    // One data set: a workspace per frequency lane. A sweep: one workspace for the shared
    // part and the members' own parts.
    auto ws = std::make_shared<std::vector<Workspace>>(single ? kFrequencyLanes : 1, st.shared);
    auto members = std::make_shared<std::vector<SweepMember>>(single ? std::vector<SweepMember>{}
                                                                     : st.members);
    auto blocks = std::make_shared<std::vector<SweepBlock>>(st.blocks);
    return [ws, members, blocks, single, &st, &tables, &on_worker](
               std::size_t f, const double* freqs, std::size_t count,
               std::vector<FrequencyResults>& out) {
      if (single && st.pressure) {
        PerReceiver<Arr<Cx, kElements>> pressure;
        for (std::size_t j = 0; j < count; ++j) {
          const FrequencyOutcome o =
              compute_frequency_with_pressure((*ws)[j], freqs[j], st.sampling, tables[0], pressure);
          out[j].resize(1);
          collect((*ws)[j], f + j, freqs[j], o, out[j][0]);
          collect_pressure(pressure, out[j][0]);
          if (on_worker) on_worker(out[j]);
        }
        return;
      }
      if (single) {
        // The frequency lanes hold the solid coefficients only: fluid models go one by one.
        const std::vector<FrequencyOutcome> o =
            compute_frequencies(*ws, freqs, static_cast<int>(count), st.sampling, tables[0],
                                st.fluid ? Lanes::scalar : best_lanes());
        for (std::size_t j = 0; j < count; ++j) {
          out[j].resize(1);
          collect((*ws)[j], f + j, freqs[j], o[j], out[j][0]);
          if (on_worker) on_worker(out[j]);
        }
        return;
      }
      for (std::size_t j = 0; j < count; ++j) {
        out[j].resize(members->size());
        const std::vector<FrequencyOutcome> o = compute_frequency_group(
            ws->front(), *members, *blocks, st.sources, freqs[j], st.sampling, tables);
        for (std::size_t d = 0; d < members->size(); ++d) {
          collect((*members)[d], f + j, freqs[j], o[d], out[j][d]);
        }
        if (on_worker) on_worker(out[j]);
      }
    };
  };
  run_frequencies(st.nfreq, st.dfreq, threads, single ? kFrequencyLanes : 1, make_worker, sink,
                  enough);
}

DataSetSpectra::DataSetSpectra(const SpectraRequest& request, int threads)
    : sweep_(std::vector<SpectraRequest>{request}, threads) {}

void DataSetSpectra::run(int threads, const std::function<void(FrequencySpectra&)>& on_worker,
                         const std::function<void(FrequencySpectra&)>& sink,
                         const std::function<bool()>& enough) const {
  std::function<void(std::vector<FrequencySpectra>&)> hook;
  if (on_worker) hook = [&](std::vector<FrequencySpectra>& r) { on_worker(r[0]); };
  sweep_.run(
      threads, hook, [&](std::vector<FrequencySpectra>& r) { sink(r[0]); }, enough);
}

}  // namespace lg
