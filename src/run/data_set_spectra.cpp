#include "run/data_set_spectra.h"

#include <cmath>
#include <numeric>
#include <stdexcept>
#include <utility>

#include "kernel/records.h"
#include "kernel/source_receiver_placement.h"
#include "kernel/wavenumber_loop.h"
#include "run/frequency_loop.h"

namespace lg {

namespace {

// Above this size the Bessel values are evaluated in every step instead of tabulated.
constexpr double kMaxBesselTableBytes = 64.0 * 1024 * 1024;

}  // namespace

struct DataSetState {
  Workspace prototype;  // after the placement of source and receivers
  Sampling sampling;
  BesselTable table;
  std::size_t nfreq = 0;
  double dfreq = 0.0;
};

DataSetSpectra::DataSetSpectra(const SpectraRequest& q, int threads)
    : state_(std::make_unique<DataSetState>()) {
  const int nc = static_cast<int>(q.layers.size());
  const int nr = static_cast<int>(q.x.size());
  if (nc < 1 || nc > kMaxLayers) {
    throw std::invalid_argument("the model needs 1 to " + std::to_string(kMaxLayers) + " layers");
  }
  if (nr < 1 || q.y.size() != q.x.size() || q.depth.size() != q.x.size()) {
    throw std::invalid_argument("a data set needs at least one receiver with x, y and depth");
  }
  if (q.q_law != QLaw::kClassic) {
    throw std::invalid_argument("the constant-Q law is not available in this build");
  }
  LayerModel model;
  model.nc = nc;
  for (int ic = 1; ic <= nc; ++ic) {
    const LayerRow& l = q.layers[static_cast<std::size_t>(ic - 1)];
    model.hc[ic] = l.thickness;
    model.vp[ic] = l.vp;
    model.vs[ic] = l.vs;
    model.rho[ic] = l.rho;
    model.qp[ic] = l.qp;
    model.qs[ic] = l.qs;
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
  slot_receiver_.resize(static_cast<std::size_t>(nr));
  std::iota(slot_receiver_.begin(), slot_receiver_.end(), 0);
  for (std::size_t i1 = 0; i1 + 1 < z.size(); ++i1) {
    for (std::size_t i2 = i1 + 1; i2 < z.size(); ++i2) {
      if (z[i1] > z[i2]) {
        std::swap(z[i1], z[i2]);
        std::swap(slot_receiver_[i1], slot_receiver_[i2]);
      }
    }
  }
  Workspace& w = state_->prototype;
  w.model = model;
  w.source = SourcePosition{0.0, 0.0, q.source_depth};
  place_source_and_receivers(w.model, w.source, given, w.receivers, w.placement);

  const Sampling& s = state_->sampling = make_sampling(q.tl, q.aw, q.xl, q.ikmax, q.uconv);
  state_->nfreq = static_cast<std::size_t>(q.nfreq);
  state_->dfreq = 1.0 / q.tl;

  const double cells = (static_cast<double>(s.ikmax) + 1.0) * 2.0 * nr;
  if (q.nfreq > 1 && cells * sizeof(double) <= kMaxBesselTableBytes) {
    state_->table = BesselTable(w.placement, s, s.ikmax + 1, threads);
  }
}

DataSetSpectra::~DataSetSpectra() = default;

void DataSetSpectra::run(int threads, const std::function<void(FrequencySpectra&)>& on_worker,
                         const std::function<void(FrequencySpectra&)>& sink) const {
  const DataSetState& st = *state_;
  auto make_worker = [&]() -> FrequencyWorker {
    auto c = std::make_shared<Workspace>(st.prototype);
    return [c, &st, &on_worker](std::size_t f, double freq, FrequencySpectra& out) {
      const FrequencyOutcome o = compute_frequency(*c, freq, st.sampling, &st.table);
      out.index = f;
      out.freq = freq;
      out.iterations = o.ik;
      out.converged = o.converged;
      out.finite = true;
      const int nr = c->placement.nr;
      out.spectra.resize(static_cast<std::size_t>(nr));
      for (int slot = 1; slot <= nr; ++slot) {
        ReceiverSpectra& r = out.spectra[static_cast<std::size_t>(slot - 1)];
        for (int is = 1; is <= kElements; ++is) {
          for (int k = 1; k <= kComponents; ++k) {
            const Cx u = c->spectra.ug[slot][is][k];
            r[static_cast<std::size_t>(is - 1)][static_cast<std::size_t>(k - 1)] = u;
            if (!std::isfinite(u.re) || !std::isfinite(u.im)) out.finite = false;
          }
        }
      }
      out.text.clear();
      if (on_worker) on_worker(out);
    };
  };
  run_frequencies(st.nfreq, st.dfreq, threads, make_worker, sink);
}

}  // namespace lg
