// The last stage of a wavenumber step: carries the source-layer amplitudes to the layer of
// every receiver and adds each receiver's eleven wavenumber-sum increments. Reads the
// placement, receivers, layer values, Bessel factors, stack responses, layer transfers and
// source-layer amplitudes; adds to WavenumberSums and tells whether the step converged.
#pragma once

#include "kernel/records.h"

namespace lg {

// Whether the convergence of a step is to be tested, and its threshold.
struct ConvergenceTest {
  bool wanted = true;
  double uconv = 0.0;
};

// Returns false when the test was wanted and an increment is not yet small against its sum.
bool add_receiver_increments(const Placement& p, const ReceiverPositions& r, const Wavenumber& k,
                             const LayerMedium& med, const LayerWavenumbers& v,
                             const BesselFactors& b, const StackResponses& st,
                             const LayerTransfers& tr, const SourceLayerAmplitudes& src,
                             const ConvergenceTest& test, WavenumberSums& sums);

}  // namespace lg
