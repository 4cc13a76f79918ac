// Fourth stage of a wavenumber step: the upgoing and downgoing wave amplitudes at the top of
// the source layer for the six elementary source cases, all reverberations between the stacks
// above and below the source included.
#pragma once

#include "kernel/records.h"

namespace lg {

void refle3(Context& c);

}  // namespace lg
