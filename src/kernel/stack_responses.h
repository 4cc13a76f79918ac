// Third stage of a wavenumber step: reflection responses of the stack above and below the top
// of every layer, and the layer transfer matrices, by recursion over the layers.
#pragma once

#include "kernel/records.h"

namespace lg {

void refle2(Context& c);

}  // namespace lg
