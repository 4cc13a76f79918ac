// The upgoing and downgoing wave amplitudes at the top of the source layer for the six
// elementary source cases, all reverberations between the stacks above and below the source
// included. Reads the placement, the vertical wavenumbers and the stack responses; writes
// SourceLayerAmplitudes.
#pragma once

#include "kernel/records.h"
#include "kernel/source_amplitude_values.h"

namespace lg {

void source_layer_amplitudes(const Placement& p, const LayerWavenumbers& v,
                             const StackResponses& st, SourceLayerAmplitudes& out);

// The same with the source layer's inverses (source_layer_inverses of its stack responses)
// given, for sources that share the layer.
void source_layer_amplitudes(const Placement& p, const LayerWavenumbers& v,
                             const StackResponses& st, const SourceLayerInverses<Cx>& inverses,
                             SourceLayerAmplitudes& out);

}  // namespace lg
