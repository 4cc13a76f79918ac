// Closing stage of a frequency: scales the wavenumber sums and expands them by azimuth into
// the x, y and vertical spectra of the six moment-tensor elements of every receiver.
#pragma once

#include "kernel/records.h"

namespace lg {

void refle5(Context& c);

}  // namespace lg
