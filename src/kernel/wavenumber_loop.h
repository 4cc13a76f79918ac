// One frequency of a data set: the complex frequency and the layer medium, the wavenumber
// summation to convergence (or to its last index) and the spectra from the sums. Reads the
// workspace's model, placement and receivers and the sampling; writes the workspace's
// per-frequency records and spectra.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "kernel/constants.h"
#include "kernel/receiver_increments.h"
#include "kernel/records.h"
#include "kernel/source_lanes.h"

namespace lg {

// Frequency and wavenumber sampling of a data set.
struct Sampling {
  double aw = 0.0;     // imaginary part of the angular frequency, -(pi*AW)/TL
  double xl = 0.0;     // periodicity length XL
  double pil = 0.0;    // wavenumber step 2*pi/XL
  int ikmax = 0;       // last wavenumber index
  double uconv = 0.0;  // convergence threshold UCONV
};

// The sampling of record length tl, damping aw, periodicity length xl.
inline Sampling make_sampling(double tl, double aw, double xl, int ikmax, double uconv) {
  Sampling s;
  s.aw = damping(aw, tl);
  s.xl = xl;
  s.pil = kTwoPi / xl;
  s.ikmax = ikmax;
  s.uconv = uconv;
  return s;
}

// The convergence rule: the summation may end at the first step above kIkMin whose increments
// are all small against their sums; the count reported is that step's index, or ikmax + 1
// when no step ended it.
inline constexpr int kIkMin = 100;

// Whether the outcome of step ik is looked at: above kIkMin, and at the last step to report
// it. Every loop over the wavenumbers (one data set, a sweep, frequencies in lanes) asks these.
inline constexpr bool step_is_tested(int ik, int ikmax) {
  return ik > kIkMin || ik == ikmax;
}
// Whether a step whose sums passed the test ends the summation.
inline constexpr bool step_ends_sum(bool converged, int ik) {
  return converged && ik > kIkMin;
}

// The source kinds of a data set still summing at one frequency. Each kind leaves the sum at
// the step where its sums alone would leave it (so the moment tensor's spectra are the same
// whether forces are computed with it or not); the data set's summation ends when no kind is
// left.
struct KindsSumming {
  SourceSet active;

  // After step ik, whose tests the kinds of `passed` passed: ends the kinds that step ends;
  // returns whether none is left.
  bool end_step(const SourceSet& passed, int ik) {
    if (active.moment && step_ends_sum(passed.moment, ik)) active.moment = false;
    if (active.force && step_ends_sum(passed.force, ik)) active.force = false;
    if (!active.moment && !active.force) active.gradient = false;
    return !active.moment && !active.force;
  }
  // Whether every kind converged: those that ended did, those still summing if they passed.
  bool converged(const SourceSet& passed) const {
    return (!active.moment || passed.moment) && (!active.force || passed.force);
  }
};

// J0 and J1 of every receiver at every wavenumber of the grid. The grid does not depend on
// the frequency, so a data set computes them once and every frequency reads them. Rows are
// computed when first asked for (in blocks, by whichever thread asks first), so that sums
// that converge early never pay for the wavenumbers they do not reach.
class BesselTable {
 public:
  BesselTable();
  // A table of rows 0 .. rows-1 for the receivers of p.
  BesselTable(const Placement& p, const Sampling& s, int rows);
  BesselTable(BesselTable&&) noexcept;
  BesselTable& operator=(BesselTable&&) noexcept;
  ~BesselTable();

  int rows() const { return rows_; }
  // Row ik: J0(k rr(ir)) at [2*(ir-1)], J1 at [2*(ir-1)+1]. Safe to call from any thread.
  const double* row(int ik) const;

 private:
  struct Lazy;
  int rows_ = 0;
  std::unique_ptr<Lazy> lazy_;
};

struct FrequencyOutcome {
  int ik = 0;              // the count reported in the result files
  bool converged = false;  // false when the summation ran out of indices unconverged
};

// Sets the frequency terms and the layer medium of frequency `freq` and clears the sums.
void start_frequency(Workspace& w, double freq, const Sampling& s);

// One wavenumber step ik: Bessel factors (from `j01`, a tabulated row, when given), vertical
// wavenumbers, interface coefficients, stack responses, source-layer amplitudes and the
// receiver increments. Returns whether the step converged (true when `test` is false).
bool wavenumber_step(Workspace& w, int ik, const Sampling& s, const double* j01, bool test);
// The same for the kinds of `active` only; returns the kinds that passed the test.
SourceSet wavenumber_step(Workspace& w, int ik, const Sampling& s, const double* j01, bool test,
                          const SourceSet& active);

// Runs the wavenumber loop for frequency `freq` and the spectra, leaving them for receivers
// 1..nr in w.spectra. Rows of `table`, where given, replace the Bessel evaluations; the
// results are the same either way.
FrequencyOutcome compute_frequency(Workspace& w, double freq, const Sampling& s,
                                   const BesselTable* table = nullptr);

// What one data set of a sweep holds of its own: its source kinds, its receivers and where
// source and receivers sit, and the records of its receiver part (Bessel factors, sums and
// spectra). Everything else of a step is the sweep's.
struct SweepMember {
  SourceSet sources;
  ReceiverPositions receivers;
  Placement placement;
  BesselFactors bessel;
  WavenumberSums sums;
  Spectra spectra;
};

// How the data sets of a sweep share the source part of a step, found once per sweep. Data
// sets whose source sits at the same place in the layers (its layer and its depth in the
// layer, bit for bit) share one source: its amplitudes and the depth terms of every receiver
// depth. Sources in one layer share the source-layer terms and the transfers from that layer,
// which reach the layers of all their data sets' receivers.
// A run of a data set's receivers at one depth (adjacent once ordered), which share their
// depth terms.
struct SweepSourcesRun {
  int first = 0, last = 0;
  int key = 0;  // index into SweepSources::keys
};

struct SweepSources {
  using Run = SweepSourcesRun;
  static constexpr int kAloneReceivers = 8;
  struct Source {
    int layer_group = 0;       // index into layer_groups
    double zsl = 0.0;          // the depth in the layer
    std::vector<int> members;  // the data sets of this source, in sweep order
    std::vector<int> keys;     // the receiver depths (indices into keys) of its data sets
    // Its data sets' receivers end to end (a SweepBlock): the first slot of each data set (in
    // the order of `members`), the slots in all, and the runs at one depth in those slots.
    // Data sets of at least kAloneReceivers receivers are summed and tested alone (their
    // receivers fill the lanes and their test stops at their first failing receiver); the
    // runs of the others, end to end, are summed together (block_runs).
    std::vector<int> offset;
    std::vector<int> owner;  // per slot (from 1): the data set (index into members) it is of
    std::vector<char> alone;
    std::vector<int> alone_members;  // the indices j of those summed alone
    int slots = 0;
    std::vector<SweepSourcesRun> block_runs;
  };
  struct LayerGroup {
    int ls = 0;
    TransferRange range;
    std::vector<int> sources;  // indices into sources
  };
  std::vector<Source> sources;
  std::vector<LayerGroup> layer_groups;
  std::vector<DepthKey> keys;          // distinct receiver depths as the depth terms see them
  std::vector<std::vector<Run>> runs;  // per data set
};

SweepSources sweep_sources(const std::vector<SweepMember>& members);

// The data sets of one source with their receivers end to end: a sweep that computes the
// moment tensor alone (no forces, no gradients) sums a source's receivers together, each data
// set's receivers only while the data set sums, and judges each data set by the tests of its
// own receivers.
struct SweepBlock {
  SourceSet sources;            // the moment tensor alone
  Placement placement;          // the source's layer; every receiver's distance
  ReceiverPositions receivers;  // every receiver's azimuth
  BesselFactors bessel;
  WavenumberSums sums;
  Spectra spectra;
  std::vector<std::uint64_t> live, ok;       // per slot: summing, and its test passed (all ones)
  std::vector<std::uint64_t> live_at_start;  // the slots summed together (not alone)
};

// The blocks of the sources of `sources` (one per source, in its order).
std::vector<SweepBlock> sweep_blocks(const std::vector<SweepMember>& members,
                                     const SweepSources& sources);

// One frequency of the data sets of a sweep, which share the model and the sampling (each with
// its own source depth, receivers and Bessel table, which may be null): the frequency terms,
// the layer medium, the vertical wavenumbers, the interface coefficients and the stack
// responses are formed once per step in `shared` (which holds the model, the anelastic law and
// the source kinds) and read by all; the source part once per source or source layer of
// `sources`; the receiver part per data set. Each data set leaves the loop at the step where it
// would leave it alone and takes no further increments, so its spectra (in members[d].spectra)
// and outcome are those of compute_frequency, bit for bit.
// With `blocks` (from sweep_blocks; only for the moment tensor alone), the receiver part goes
// block by block and `tables` are the blocks'; without (empty), data set by data set and
// `tables` are the data sets'.
std::vector<FrequencyOutcome> compute_frequency_group(
    Workspace& shared, std::vector<SweepMember>& members, std::vector<SweepBlock>& blocks,
    const SweepSources& sources, double freq, const Sampling& s,
    const std::vector<const BesselTable*>& tables);

}  // namespace lg
