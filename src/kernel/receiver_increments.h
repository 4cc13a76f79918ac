// Last stage of a wavenumber step: carries the source-layer amplitudes to the layer of every
// receiver and adds each receiver's eleven wavenumber-sum increments (clearing the convergence
// flag when one is not yet small).
#pragma once

#include "kernel/records.h"

namespace lg {

void refle4(Context& c);

}  // namespace lg
