// The last stage of a wavenumber step: carries the source-layer amplitudes to the layer of
// every receiver and adds each receiver's eleven wavenumber-sum increments. Reads the
// placement, receivers, layer values, Bessel factors, stack responses, layer transfers and
// source-layer amplitudes; adds to WavenumberSums and tells whether the step converged.
#pragma once

#include "kernel/receiver_sums.h"
#include "kernel/records.h"

namespace lg {

// Whether the convergence of a step is to be tested, and its threshold.
struct ConvergenceTest {
  bool wanted = true;
  double uconv = 0.0;
};

// The layers the receivers of a placement need transfers to: from the layer of the shallowest
// receiver above the source (top) down to that of the deepest receiver at or below it
// (bottom); the source layer where there is none.
struct TransferRange {
  int top = 0;
  int bottom = 0;
};

TransferRange transfer_range(const Placement& p);

// The cumulative transfers from the top of the source layer to the top of layers
// r.top ... r.bottom: ftup[k] (k <= ls) for upgoing waves, ftdo[k] (k >= ls) for downgoing
// ones. Left uninitialised outside the range.
struct SourceTransfers {
  PerLayer<M2> ftup;
  PerLayer<M2> ftdo;
  PerLayer<Cx> ftupsh;
  PerLayer<Cx> ftdosh;
};

void source_transfers(int ls, const TransferRange& r, const LayerTransfers& tr, SourceTransfers& f);

// The depth terms of receiver ir (those of every receiver at its depth): its waves from the
// source-layer amplitudes, then its potentials. `f` must cover the receiver's layer.
DepthTerms receiver_depth_terms(const Placement& p, int ir, const LayerWavenumbers& v,
                                const StackResponses& st, const SourceTransfers& f,
                                const SourceLayerAmplitudes& src, const SourceLayerTerms& terms,
                                bool force = false, DepthTerms* slope = nullptr);

// Adds the sums of the source kinds still summing (`active`) to `sums` for receivers first ...
// last (at one depth, sharing d), and clears in `passed` each kind whose test failed. Each kind
// is tested as add_receiver_sums tests: once one of its sums has failed, no more of its tests
// are made. A kind not summed is left as it is in `passed`.
void add_source_sums(const SourceSet& active, int first, int last, const BesselFactors& b,
                     const DepthTerms& d, const SourceLayerTerms& s, double uconv, bool test,
                     SourceSet& passed, WavenumberSums& sums);

// Returns the kinds of `active` whose increments all passed the test (every kind when the test
// was not wanted); kinds not in `active` count as passed.
SourceSet add_receiver_increments(const Placement& p, const ReceiverPositions& r,
                                  const Wavenumber& k, const LayerMedium& med,
                                  const LayerWavenumbers& v, const BesselFactors& b,
                                  const StackResponses& st, const LayerTransfers& tr,
                                  const SourceLayerAmplitudes& src, const ConvergenceTest& test,
                                  WavenumberSums& sums, const SourceSet& active = SourceSet{});

}  // namespace lg
