// Reflection responses of the stack above and below the top of every layer, and the layer
// transfer matrices, by recursion over the layers. Reads the interface coefficients; writes
// StackResponses and LayerTransfers.
#pragma once

#include "kernel/lanes.h"
#include "kernel/records.h"

namespace lg {

// The 2x2 matrices go in AVX2 lanes where `lanes` says so; the responses are the same bits
// either way.
void stack_responses(int nc, const InterfaceCoefficients& in, StackResponses& st,
                     LayerTransfers& tr, Lanes lanes = best_lanes());

}  // namespace lg
