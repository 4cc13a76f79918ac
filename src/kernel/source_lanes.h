// The source part of a wavenumber step for several sources in one layer (a sweep's data sets
// at different depths in it), up to four at a time in lanes: their amplitudes at the top of
// the layer and the depth terms of receiver depths. Each lane does the IEEE operations of
// source_layer_amplitudes and receiver_depth_terms for its source, in their order, so the
// terms are the same bits.
#pragma once

#include "kernel/lanes.h"
#include "kernel/receiver_increments.h"
#include "kernel/records.h"
#include "kernel/source_amplitude_values.h"

namespace lg {

// A receiver depth as the depth terms see it: its layer, its depth in the layer and whether
// it lies above the source.
struct DepthKey {
  bool above = false;
  int layer = 0;
  double zrl = 0.0;
};

// What the sources of one layer share at a step: the layer ls, its reverberation inverses,
// the transfers from it (reaching every key's layer) and the source-layer terms.
struct SourceLayerStep {
  int ls = 0;
  const SourceLayerInverses<Cx>* inverses = nullptr;
  const SourceTransfers* transfers = nullptr;
  const SourceLayerTerms* terms = nullptr;
};

// The depth terms of the sources at depths zsl[0 .. n-1] in the layer (n from 1 to 4) for the
// receiver depth `key`: out[j] for source j. With `force`, the forces' terms too; with `slope`,
// their derivatives in depth into slope[j] (one source after another). Lanes of `lanes`
// (scalar: one source after another); the results are the same either way.
void source_depth_terms(int n, const double* zsl, const SourceLayerStep& layer,
                        const LayerWavenumbers& v, const StackResponses& st, const DepthKey& key,
                        bool force, DepthTerms* out, Lanes lanes, DepthTerms* slope = nullptr);

}  // namespace lg
