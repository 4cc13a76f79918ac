// Reflection responses of the stack above and below the top of every layer, and the layer
// transfer matrices, by recursion over the layers. Reads the interface coefficients; writes
// StackResponses and LayerTransfers.
#pragma once

#include "kernel/records.h"

namespace lg {

void stack_responses(int nc, const InterfaceCoefficients& in, StackResponses& st,
                     LayerTransfers& tr);

}  // namespace lg
