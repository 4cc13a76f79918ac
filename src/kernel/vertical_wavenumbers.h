// Vertical P and S wavenumbers of every layer at the current horizontal wavenumber. Reads
// the layer medium and the wavenumber; writes LayerWavenumbers.
#pragma once

#include "kernel/records.h"

namespace lg {

void vertical_wavenumbers(int nc, const Wavenumber& k, const LayerMedium& m, LayerWavenumbers& out);

}  // namespace lg
