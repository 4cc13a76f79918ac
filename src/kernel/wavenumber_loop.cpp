#include "kernel/wavenumber_loop.h"

#include <algorithm>
#include <atomic>
#include <bit>
#include <cstdint>
#include <map>
#include <thread>
#include <tuple>
#include <utility>

#include "kernel/bessel_factors.h"
#include "kernel/force_spectra.h"
#include "kernel/frequency_terms.h"
#include "kernel/interface_coefficients.h"
#include "kernel/lanes.h"
#include "kernel/layer_medium.h"
#include "kernel/moment_tensor_spectra.h"
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
  std::unique_ptr<std::atomic<bool>[]> done;  // per row: computed
  std::atomic<int> next{0};                   // the next row to claim
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
  lazy_->done.reset(new std::atomic<bool>[static_cast<std::size_t>(rows_)]);
  for (int r = 0; r < rows_; ++r) lazy_->done[static_cast<std::size_t>(r)].store(false);
}

const double* BesselTable::row(int ik) const {
  Lazy& t = *lazy_;
  double* at = t.values.get() + static_cast<std::size_t>(ik) * static_cast<std::size_t>(t.stride);
  std::atomic<bool>& ready = t.done[static_cast<std::size_t>(ik)];
  // Rows are claimed in order, one at a time, by the threads that need a row not yet computed
  // (every thread steps through the rows from 0): a thread whose row another is computing
  // claims and computes the next ones meanwhile, which it will need too, instead of waiting.
  while (!ready.load(std::memory_order_acquire)) {
    if (t.next.load(std::memory_order_relaxed) >= rows_) {
      std::this_thread::yield();
      continue;
    }
    const int r = t.next.fetch_add(1, std::memory_order_relaxed);
    if (r >= rows_) continue;
    bessel_row(t.placement, wavenumber_of_step(r, t.pil),
               t.values.get() + static_cast<std::size_t>(r) * static_cast<std::size_t>(t.stride));
    t.done[static_cast<std::size_t>(r)].store(true, std::memory_order_release);
  }
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
  // Sources keyed by (layer, depth in the layer bit for bit), layer groups by layer, receiver
  // depths by (above the source, layer, depth in the layer bit for bit).
  std::map<std::pair<int, std::uint64_t>, int> source_at;
  std::map<int, int> group_at;
  std::map<std::tuple<bool, int, std::uint64_t>, int> key_at;
  out.runs.resize(members.size());
  for (std::size_t d = 0; d < members.size(); ++d) {
    const Placement& p = members[d].placement;
    const auto key = std::make_pair(p.ls, std::bit_cast<std::uint64_t>(p.zsl));
    auto [s, new_source] = source_at.try_emplace(key, static_cast<int>(out.sources.size()));
    if (new_source) {
      auto [g, new_group] = group_at.try_emplace(p.ls, static_cast<int>(out.layer_groups.size()));
      if (new_group) out.layer_groups.push_back({p.ls, TransferRange{p.ls, p.ls}, {}});
      out.layer_groups[static_cast<std::size_t>(g->second)].sources.push_back(s->second);
      out.sources.push_back({g->second, p.zsl, {}, {}, {}, {}, {}, {}, 0, {}});
    }
    SweepSources::Source& src = out.sources[static_cast<std::size_t>(s->second)];
    src.members.push_back(static_cast<int>(d));
    // The layer's transfers reach the layers of every receiver of its data sets.
    const TransferRange r = transfer_range(p);
    TransferRange& range = out.layer_groups[static_cast<std::size_t>(src.layer_group)].range;
    range.top = std::min(range.top, r.top);
    range.bottom = std::max(range.bottom, r.bottom);
    const ReceiverPositions& rec = members[d].receivers;
    for (int ir = 1, last = 1; ir <= p.nr; ir = last + 1) {
      last = ir;
      while (last < p.nr && rec.zr[last + 1] == rec.zr[ir]) ++last;
      const bool above = ir <= p.nrup;
      const auto k = std::make_tuple(above, p.lr[ir], std::bit_cast<std::uint64_t>(p.zrl[ir]));
      auto [at, new_key] = key_at.try_emplace(k, static_cast<int>(out.keys.size()));
      if (new_key) out.keys.push_back(DepthKey{above, p.lr[ir], p.zrl[ir]});
      out.runs[d].push_back({ir, last, at->second});
      if (std::find(src.keys.begin(), src.keys.end(), at->second) == src.keys.end()) {
        src.keys.push_back(at->second);
      }
    }
  }
  for (SweepSources::Source& src : out.sources) {
    for (const int m : src.members) {
      const int offset = src.slots;
      const int nr = members[static_cast<std::size_t>(m)].placement.nr;
      src.offset.push_back(offset + 1);
      src.alone.push_back(nr >= SweepSources::kAloneReceivers ? 1 : 0);
      if (src.alone.back() != 0)
        src.alone_members.push_back(static_cast<int>(src.alone.size()) - 1);
      if (src.owner.empty()) src.owner.push_back(-1);
      src.owner.insert(src.owner.end(), static_cast<std::size_t>(nr),
                       static_cast<int>(src.offset.size()) - 1);
      src.slots += nr;
      if (src.alone.back() != 0) continue;
      for (const SweepSources::Run& r : out.runs[static_cast<std::size_t>(m)]) {
        // Adjacent runs at the same depth make one.
        if (!src.block_runs.empty() && src.block_runs.back().key == r.key &&
            src.block_runs.back().last == offset + r.first - 1) {
          src.block_runs.back().last = offset + r.last;
        } else {
          src.block_runs.push_back({offset + r.first, offset + r.last, r.key});
        }
      }
    }
  }
  return out;
}

std::vector<SweepBlock> sweep_blocks(const std::vector<SweepMember>& members,
                                     const SweepSources& sources) {
  std::vector<SweepBlock> blocks(sources.sources.size());
  for (std::size_t si = 0; si < blocks.size(); ++si) {
    const SweepSources::Source& src = sources.sources[si];
    SweepBlock& b = blocks[si];
    b.sources = members[static_cast<std::size_t>(src.members.front())].sources;
    const auto slots = static_cast<std::size_t>(src.slots + 1);
    b.placement.nr = src.slots;
    b.placement.ls = members[static_cast<std::size_t>(src.members.front())].placement.ls;
    b.placement.rr.assign(slots, 0.0);
    b.receivers = ReceiverPositions(src.slots);
    for (std::size_t j = 0; j < src.members.size(); ++j) {
      const SweepMember& m = members[static_cast<std::size_t>(src.members[j])];
      for (int ir = 1; ir <= m.placement.nr; ++ir) {
        const auto at = static_cast<std::size_t>(src.offset[j] + ir - 1);
        b.placement.rr[at] = m.placement.rr[static_cast<std::size_t>(ir)];
        b.receivers.caz[at] = m.receivers.caz[static_cast<std::size_t>(ir)];
        b.receivers.saz[at] = m.receivers.saz[static_cast<std::size_t>(ir)];
      }
    }
    b.live.assign(slots, 0);
    b.ok.assign(slots, 0);
    b.live_at_start.assign(slots, 0);
    for (std::size_t j = 0; j < src.members.size(); ++j) {
      if (src.alone[j] != 0) continue;
      const int nr = members[static_cast<std::size_t>(src.members[j])].placement.nr;
      std::fill_n(b.live_at_start.begin() + src.offset[j], nr, ~std::uint64_t{0});
    }
  }
  return blocks;
}

namespace {

// What the sources of one layer share at one step: the source-layer terms, the transfers
// from the layer and its reverberation inverses.
struct SharedLayer {
  // Declared so that a vector of them does not clear the transfer tables first.
  SharedLayer() {}  // NOLINT(modernize-use-equals-default)
  SourceTransfers transfers;
  SourceLayerTerms terms;
  SourceLayerInverses<Cx> inverses;
};

}  // namespace

std::vector<FrequencyOutcome> compute_frequency_group(
    Workspace& sh, std::vector<SweepMember>& members, std::vector<SweepBlock>& blocks,
    const SweepSources& sources, double freq, const Sampling& s,
    const std::vector<const BesselTable*>& tables) {
  const std::size_t n = members.size();
  const bool by_blocks = !blocks.empty();
  start_frequency(sh, freq, s);
  if (by_blocks) {
    for (SweepBlock& b : blocks) {
      clear_sums(b);
      b.live = b.live_at_start;
    }
  } else {
    for (SweepMember& m : members) clear_sums(m);
  }
  std::vector<SharedLayer> layers(sources.layer_groups.size());
  // The depth terms of every (source, receiver depth) the step needs, [source * keys + key].
  const std::size_t nkeys = sources.keys.size();
  std::vector<DepthTerms> depth(sources.sources.size() * nkeys);
  // The data sets of a sweep compute the same source kinds.
  const bool force = sh.sources.force;
  const bool gradient = sh.sources.gradient;
  std::vector<DepthTerms> slope(gradient ? depth.size() : 0);
  // Sources in lanes, four at a time; the derivatives in depth go source by source.
  const Lanes lanes = gradient ? Lanes::scalar : best_lanes();
  const Lanes sum_lanes = best_lanes();
  std::vector<FrequencyOutcome> out(n);
  std::vector<char> active(n, 1);
  std::vector<KindsSumming> kinds(n);
  for (std::size_t d = 0; d < n; ++d) kinds[d].active = members[d].sources;
  // Data sets still summing, per source.
  std::vector<std::size_t> left(sources.sources.size());
  for (std::size_t i = 0; i < left.size(); ++i) left[i] = sources.sources[i].members.size();
  std::vector<int> batch;
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
    // The source part: per layer, then per source and receiver depth.
    for (std::size_t g = 0; g < layers.size(); ++g) {
      const SweepSources::LayerGroup& group = sources.layer_groups[g];
      bool any = false;
      for (const int si : group.sources) any = any || left[static_cast<std::size_t>(si)] > 0;
      if (!any) continue;
      SharedLayer& layer = layers[g];
      const int ls = group.ls;
      source_transfers(ls, group.range, sh.transfers, layer.transfers);
      Placement at_layer;
      at_layer.ls = ls;
      layer.terms = source_layer_terms(at_layer, k, sh.medium, sh.vertical, force);
      layer.inverses = source_layer_inverses(sh.stacks.crdo[ls], sh.stacks.crdosh[ls],
                                             sh.stacks.crup[ls], sh.stacks.crupsh[ls]);
      const SourceLayerStep step{ls, &layer.inverses, &layer.transfers, &layer.terms};
      for (std::size_t key = 0; key < nkeys; ++key) {
        batch.clear();
        for (const int si : group.sources) {
          const SweepSources::Source& src = sources.sources[static_cast<std::size_t>(si)];
          if (left[static_cast<std::size_t>(si)] == 0 ||
              std::find(src.keys.begin(), src.keys.end(), static_cast<int>(key)) ==
                  src.keys.end()) {
            continue;
          }
          if (gradient) {
            const std::size_t at = static_cast<std::size_t>(si) * nkeys + key;
            source_depth_terms(1, &src.zsl, step, sh.vertical, sh.stacks, sources.keys[key], force,
                               &depth[at], Lanes::scalar, &slope[at]);
            continue;
          }
          batch.push_back(si);
        }
        for (std::size_t b = 0; b < batch.size(); b += 4) {
          const int count = static_cast<int>(std::min<std::size_t>(4, batch.size() - b));
          double zsl[4];
          DepthTerms terms[4];
          for (int j = 0; j < count; ++j) {
            zsl[j] =
                sources.sources[static_cast<std::size_t>(batch[b + static_cast<std::size_t>(j)])]
                    .zsl;
          }
          source_depth_terms(count, zsl, step, sh.vertical, sh.stacks, sources.keys[key], force,
                             terms, lanes);
          for (int j = 0; j < count; ++j) {
            depth[static_cast<std::size_t>(batch[b + static_cast<std::size_t>(j)]) * nkeys + key] =
                terms[j];
          }
        }
      }
    }
    // The receiver part: source by source (blocks), or data set by data set.
    for (std::size_t si = 0; si < sources.sources.size(); ++si) {
      if (left[si] == 0) continue;
      const SweepSources::Source& source = sources.sources[si];
      const SharedLayer& layer = layers[static_cast<std::size_t>(source.layer_group)];
      if (by_blocks) {
        SweepBlock& b = blocks[si];
        const BesselTable* table = tables[si];
        if (table != nullptr && ik < table->rows()) {
          bessel_factors(b.placement, k, table->row(ik), b.bessel, sum_lanes);
        } else {
          bessel_factors(b.placement, k, b.bessel);
        }
        for (const SweepSources::Run& run : source.block_runs) {
          add_receiver_sums_each(
              run.first, run.last, b.bessel, depth[si * nkeys + static_cast<std::size_t>(run.key)],
              layer.terms, test.uconv, test.wanted, b.live.data(), b.ok.data(), b.sums, sum_lanes);
        }
        // After a step: ends the data set j of the source if the step ends it.
        const auto after_step = [&](std::size_t j, const SourceSet& passed) {
          const auto d = static_cast<std::size_t>(source.members[j]);
          const bool ended = kinds[d].end_step(passed, ik);
          out[d] = FrequencyOutcome{ik, kinds[d].converged(passed)};
          if (ended) {
            active[d] = 0;
            --remaining;
            --left[si];
            const auto first = b.live.begin() + source.offset[j];
            std::fill(first, first + members[d].placement.nr, 0);
          }
        };
        for (const int alone : source.alone_members) {
          const auto j = static_cast<std::size_t>(alone);
          const auto d = static_cast<std::size_t>(source.members[j]);
          if (!active[d]) continue;
          // As add_source_sums, in the block's slots.
          SourceSet passed{true, true};
          const int shift = source.offset[j] - 1;
          for (const SweepSources::Run& run : sources.runs[d]) {
            passed.moment = add_receiver_sums(shift + run.first, shift + run.last, b.bessel,
                                              depth[si * nkeys + static_cast<std::size_t>(run.key)],
                                              layer.terms, test.uconv, test.wanted && passed.moment,
                                              b.sums, sum_lanes) &&
                            passed.moment;
          }
          after_step(j, passed);
        }
        // The data sets summed together: a data set passes when all its receivers did. Before
        // the last step, only a tested step whose test a data set passed can end it (and its
        // outcome is not looked at otherwise), so only the receivers that passed are visited;
        // at the last step every data set reports its outcome.
        if (source.block_runs.empty() || !test.wanted) continue;
        const auto passed_all = [&](std::size_t j) {
          const auto first = static_cast<std::size_t>(source.offset[j]);
          const auto end =
              first + static_cast<std::size_t>(
                          members[static_cast<std::size_t>(source.members[j])].placement.nr);
          for (std::size_t at = first; at < end; ++at) {
            if (b.ok[at] == 0) return false;
          }
          return true;
        };
        if (ik == s.ikmax) {
          for (std::size_t j = 0; j < source.members.size(); ++j) {
            if (source.alone[j] != 0 || !active[static_cast<std::size_t>(source.members[j])]) {
              continue;
            }
            after_step(j, SourceSet{passed_all(j), true});
          }
          continue;
        }
        for (std::size_t at = 1; at < b.ok.size(); ++at) {
          if ((b.live[at] & b.ok[at]) == 0) continue;
          const auto j = static_cast<std::size_t>(source.owner[at]);
          // A data set whose first receiver failed has not passed.
          if (static_cast<std::size_t>(source.offset[j]) != at || !passed_all(j)) continue;
          after_step(j, SourceSet{true, true});
        }
        continue;
      }
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
        SourceSet passed{true, true};
        for (const SweepSources::Run& run : sources.runs[d]) {
          const std::size_t at = si * nkeys + static_cast<std::size_t>(run.key);
          add_source_sums(kinds[d].active, run.first, run.last, w.bessel, depth[at], layer.terms,
                          test.uconv, test.wanted, passed, w.sums);
          if (kinds[d].active.gradient) {
            add_gradient_sums(kinds[d].active, run.first, run.last, w.placement.rr.data(), k,
                              w.bessel, depth[at], slope[at], layer.terms, w.sums);
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
    if (by_blocks) continue;
    SweepMember& m = members[d];
    source_spectra(m.sources, m.placement, m.receivers, sh.medium, m.sums, m.spectra);
  }
  // A block's spectra, each data set's into its own slots.
  for (std::size_t si = 0; by_blocks && si < blocks.size(); ++si) {
    SweepBlock& b = blocks[si];
    moment_tensor_spectra(b.placement, b.receivers, sh.medium, b.sums, b.spectra);
    const SweepSources::Source& source = sources.sources[si];
    for (std::size_t j = 0; j < source.members.size(); ++j) {
      SweepMember& m = members[static_cast<std::size_t>(source.members[j])];
      const auto first = static_cast<std::size_t>(source.offset[j]);
      m.spectra.ug.resize(static_cast<std::size_t>(m.placement.nr + 1));
      for (std::size_t ir = 1; ir <= static_cast<std::size_t>(m.placement.nr); ++ir) {
        m.spectra.ug[ir] = b.spectra.ug[first + ir - 1];
      }
    }
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
