#include "kernel/wavenumber_loop.h"

#include <algorithm>
#include <atomic>
#include <bit>
#include <cstdint>
#include <map>
#include <mutex>
#include <utility>

#include "kernel/bessel_factors.h"
#include "kernel/force_spectra.h"
#include "kernel/frequency_terms.h"
#include "kernel/interface_coefficients.h"
#include "kernel/layer_medium.h"
#include "kernel/receiver_increments.h"
#include "kernel/source_layer_amplitudes.h"
#include "kernel/stack_responses.h"
#include "kernel/vertical_wavenumbers.h"

namespace lg {

struct BesselTable::Lazy {
  Placement placement;
  double pil = 0.0;
  int stride = 0;
  // Left uninitialised: rows are written before they are read, and the pages of rows never
  // reached are never touched.
  std::unique_ptr<double[]> values;
  std::atomic<int> filled{0};  // rows 0 .. filled-1 are computed
  std::mutex mu;
};

BesselTable::BesselTable() = default;
BesselTable::BesselTable(BesselTable&&) noexcept = default;
BesselTable& BesselTable::operator=(BesselTable&&) noexcept = default;
BesselTable::~BesselTable() = default;

BesselTable::BesselTable(const Placement& p, const Sampling& s, int rows)
    : rows_(rows), lazy_(std::make_unique<Lazy>()) {
  lazy_->placement = p;
  lazy_->pil = s.pil;
  lazy_->stride = 2 * p.nr;
  lazy_->values.reset(
      new double[static_cast<std::size_t>(rows_) * static_cast<std::size_t>(lazy_->stride)]);
}

const double* BesselTable::row(int ik) const {
  Lazy& t = *lazy_;
  double* at = t.values.get() + static_cast<std::size_t>(ik) * static_cast<std::size_t>(t.stride);
  if (ik < t.filled.load(std::memory_order_acquire)) return at;
  std::lock_guard<std::mutex> lock(t.mu);
  int filled = t.filled.load(std::memory_order_relaxed);
  if (ik < filled) return at;
  constexpr int kBlockRows = 64;
  const int end = std::min(rows_, std::max(ik + 1, filled + kBlockRows));
  for (int r = filled; r < end; ++r) {
    bessel_row(t.placement, wavenumber_of_step(r, t.pil),
               t.values.get() + static_cast<std::size_t>(r) * static_cast<std::size_t>(t.stride));
  }
  t.filled.store(end, std::memory_order_release);
  return at;
}

namespace {

// Sizes the per-receiver records of w (a Workspace or a SweepMember) for its receivers
// (slots 0 .. nr) and clears the sums.
template <class W>
void clear_sums(W& w) {
  const auto slots = static_cast<std::size_t>(w.placement.nr + 1);
  if (w.bessel.bj0.size() != slots) {
    for (PerReceiver<double>* v :
         {&w.bessel.bj0, &w.bessel.bj1, &w.bessel.bkj0, &w.bessel.bkj2, &w.bessel.bj1r,
          &w.bessel.dkj2, &w.bessel.bkj2r, &w.bessel.dj1}) {
      v->resize(slots);
    }
    w.spectra.ug.resize(slots);
  }
  w.sums.reset(w.placement.nr,
               w.sources.gradient ? kAllSums : (w.sources.force ? kSums + kForceSums : kSums));
  if (w.sources.gradient) {
    w.spectra.gg.resize(slots);
    w.spectra.fgg.resize(slots);
  }
}

}  // namespace

void start_frequency(Workspace& w, double freq, const Sampling& s) {
  w.frequency = frequency_terms(freq, s.aw, s.xl);
  // The velocities and total wavenumbers depend on the frequency only.
  layer_medium(w.model, w.law, w.frequency, w.medium);
  clear_sums(w);
}

bool wavenumber_step(Workspace& w, int ik, const Sampling& s, const double* j01, bool test) {
  const SourceSet passed = wavenumber_step(w, ik, s, j01, test, w.sources);
  return passed.moment && passed.force;
}

SourceSet wavenumber_step(Workspace& w, int ik, const Sampling& s, const double* j01, bool test,
                          const SourceSet& active) {
  w.wavenumber.ak = wavenumber_of_step(ik, s.pil);
  w.wavenumber.ak2 = w.wavenumber.ak * w.wavenumber.ak;
  if (j01 != nullptr) {
    bessel_factors(w.placement, w.wavenumber, j01, w.bessel);
  } else {
    bessel_factors(w.placement, w.wavenumber, w.bessel);
  }
  vertical_wavenumbers(w.model.nc, w.wavenumber, w.medium, w.vertical);
  interface_coefficients(w.model, w.wavenumber, w.medium, w.vertical, w.interfaces);
  stack_responses(w.model.nc, w.interfaces, w.stacks, w.transfers);
  source_layer_amplitudes(w.placement, w.vertical, w.stacks, w.source_amplitudes);
  return add_receiver_increments(w.placement, w.receivers, w.wavenumber, w.medium, w.vertical,
                                 w.bessel, w.stacks, w.transfers, w.source_amplitudes,
                                 ConvergenceTest{test, s.uconv}, w.sums, active);
}

SweepSources sweep_sources(const std::vector<SweepMember>& members) {
  SweepSources out;
  // Sources keyed by (layer, depth in the layer bit for bit), layer groups by layer.
  std::map<std::pair<int, std::uint64_t>, int> source_at;
  std::map<int, int> group_at;
  for (std::size_t d = 0; d < members.size(); ++d) {
    const Placement& p = members[d].placement;
    const auto key = std::make_pair(p.ls, std::bit_cast<std::uint64_t>(p.zsl));
    auto [s, new_source] = source_at.try_emplace(key, static_cast<int>(out.sources.size()));
    if (new_source) {
      auto [g, new_group] = group_at.try_emplace(p.ls, static_cast<int>(out.layer_groups.size()));
      if (new_group) out.layer_groups.push_back({p.ls, TransferRange{p.ls, p.ls}});
      out.sources.push_back({g->second, {}});
    }
    SweepSources::Source& src = out.sources[static_cast<std::size_t>(s->second)];
    src.members.push_back(static_cast<int>(d));
    // The layer's transfers reach the layers of every receiver of its data sets.
    const TransferRange r = transfer_range(p);
    TransferRange& range = out.layer_groups[static_cast<std::size_t>(src.layer_group)].range;
    range.top = std::min(range.top, r.top);
    range.bottom = std::max(range.bottom, r.bottom);
  }
  return out;
}

namespace {

// What the sources of one layer share at one step: the source-layer terms and the transfers
// from the layer.
struct SharedLayer {
  // Declared so that a vector of them does not clear the transfer tables first.
  SharedLayer() {}  // NOLINT(modernize-use-equals-default)
  int at = -1;      // the step these values belong to
  SourceTransfers transfers;
  SourceLayerTerms terms;
  SourceLayerInverses<Cx> inverses;
};

// What the data sets of one source share at one step: its amplitudes and the depth terms of
// every receiver depth met so far.
struct SharedSource {
  int at = -1;
  SourceLayerAmplitudes amplitudes;
  struct Depth {
    bool above;  // above the source
    int layer;
    std::uint64_t zrl_bits;  // the depth in the layer, bit for bit
    DepthTerms terms;
    DepthTerms slope;  // their derivatives in depth, when gradients are asked for
  };
  std::vector<Depth> depths;
};

// The depth terms of receiver ir of placement p, computed once per step for every data set of
// the source: the terms depend only on the receiver's layer, its depth in the layer and
// whether it lies above the source, so equal keys give the same bits.
const SharedSource::Depth& shared_depth_terms(SharedSource& src, const SharedLayer& layer,
                                              const Placement& p, int ir, const LayerWavenumbers& v,
                                              const StackResponses& st, bool force, bool gradient) {
  const bool above = ir <= p.nrup;
  const int lr = p.lr[ir];
  const auto bits = std::bit_cast<std::uint64_t>(p.zrl[ir]);
  for (const SharedSource::Depth& e : src.depths) {
    if (e.above == above && e.layer == lr && e.zrl_bits == bits) return e;
  }
  SharedSource::Depth e{above, lr, bits, DepthTerms{}, DepthTerms{}};
  e.terms = receiver_depth_terms(p, ir, v, st, layer.transfers, src.amplitudes, layer.terms, force,
                                 gradient ? &e.slope : nullptr);
  src.depths.push_back(e);
  return src.depths.back();
}

}  // namespace

std::vector<FrequencyOutcome> compute_frequency_group(
    Workspace& sh, std::vector<SweepMember>& members, const SweepSources& sources, double freq,
    const Sampling& s, const std::vector<const BesselTable*>& tables) {
  const std::size_t n = members.size();
  start_frequency(sh, freq, s);
  for (SweepMember& m : members) clear_sums(m);
  std::vector<SharedLayer> layers(sources.layer_groups.size());
  std::vector<SharedSource> shared(sources.sources.size());
  // The data sets of a sweep compute the same source kinds.
  const bool force = sh.sources.force;
  const bool gradient = sh.sources.gradient;
  std::vector<FrequencyOutcome> out(n);
  std::vector<char> active(n, 1);
  std::vector<KindsSumming> kinds(n);
  for (std::size_t d = 0; d < n; ++d) kinds[d].active = members[d].sources;
  // Sources still summing (any of their data sets active).
  std::vector<std::size_t> left(sources.sources.size());
  for (std::size_t i = 0; i < left.size(); ++i) left[i] = sources.sources[i].members.size();
  std::size_t remaining = n;
  int ik = 0;
  for (ik = 0; ik <= s.ikmax && remaining > 0; ++ik) {
    sh.wavenumber.ak = wavenumber_of_step(ik, s.pil);
    sh.wavenumber.ak2 = sh.wavenumber.ak * sh.wavenumber.ak;
    const Wavenumber& k = sh.wavenumber;
    vertical_wavenumbers(sh.model.nc, k, sh.medium, sh.vertical);
    interface_coefficients(sh.model, k, sh.medium, sh.vertical, sh.interfaces);
    stack_responses(sh.model.nc, sh.interfaces, sh.stacks, sh.transfers);
    const ConvergenceTest test{step_is_tested(ik, s.ikmax), s.uconv};
    for (std::size_t si = 0; si < sources.sources.size(); ++si) {
      if (left[si] == 0) continue;
      const SweepSources::Source& source = sources.sources[si];
      const auto g = static_cast<std::size_t>(source.layer_group);
      SharedLayer& layer = layers[g];
      const Placement& lead = members[static_cast<std::size_t>(source.members.front())].placement;
      if (layer.at != ik) {
        source_transfers(lead.ls, sources.layer_groups[g].range, sh.transfers, layer.transfers);
        layer.terms = source_layer_terms(lead, k, sh.medium, sh.vertical, force);
        const int ls = lead.ls;
        layer.inverses = source_layer_inverses(sh.stacks.crdo[ls], sh.stacks.crdosh[ls],
                                               sh.stacks.crup[ls], sh.stacks.crupsh[ls]);
        layer.at = ik;
      }
      SharedSource& src = shared[si];
      source_layer_amplitudes(lead, sh.vertical, sh.stacks, layer.inverses, src.amplitudes);
      src.depths.clear();
      for (const int member : source.members) {
        const auto d = static_cast<std::size_t>(member);
        if (!active[d]) continue;
        SweepMember& w = members[d];
        const BesselTable* table = tables[d];
        if (table != nullptr && ik < table->rows()) {
          bessel_factors(w.placement, k, table->row(ik), w.bessel);
        } else {
          bessel_factors(w.placement, k, w.bessel);
        }
        // As add_receiver_increments, with the depth terms shared.
        const Placement& p = w.placement;
        SourceSet passed{true, true};
        for (int ir = 1, last = 1; ir <= p.nr; ir = last + 1) {
          last = ir;
          while (last < p.nr && w.receivers.zr[last + 1] == w.receivers.zr[ir]) ++last;
          const SharedSource::Depth& depth =
              shared_depth_terms(src, layer, p, ir, sh.vertical, sh.stacks, force, gradient);
          add_source_sums(kinds[d].active, ir, last, w.bessel, depth.terms, layer.terms, test.uconv,
                          test.wanted, passed, w.sums);
          if (kinds[d].active.gradient) {
            add_gradient_sums(kinds[d].active, ir, last, p.rr.data(), k, w.bessel, depth.terms,
                              depth.slope, layer.terms, w.sums);
          }
        }
        const bool ended = kinds[d].end_step(passed, ik);
        out[d] = FrequencyOutcome{ik, kinds[d].converged(passed)};
        if (ended) {
          active[d] = 0;
          --remaining;
          --left[si];
        }
      }
    }
  }
  for (std::size_t d = 0; d < n; ++d) {
    // A data set that ran to the last index reports ikmax + 1 steps.
    if (active[d]) out[d].ik = ik;
    SweepMember& m = members[d];
    source_spectra(m.sources, m.placement, m.receivers, sh.medium, m.sums, m.spectra);
  }
  return out;
}

FrequencyOutcome compute_frequency(Workspace& w, double freq, const Sampling& s,
                                   const BesselTable* table) {
  start_frequency(w, freq, s);
  int ik = 0;
  bool converged = false;
  bool ended = false;
  KindsSumming kinds{w.sources};
  for (ik = 0; ik <= s.ikmax; ++ik) {
    const bool test = step_is_tested(ik, s.ikmax);
    const double* row = table != nullptr && ik < table->rows() ? table->row(ik) : nullptr;
    const SourceSet passed = wavenumber_step(w, ik, s, row, test, kinds.active);
    ended = kinds.end_step(passed, ik);
    converged = kinds.converged(passed);
    if (ended) break;
  }
  source_spectra(w.sources, w.placement, w.receivers, w.medium, w.sums, w.spectra);
  return FrequencyOutcome{ik, ended || converged};
}

}  // namespace lg
