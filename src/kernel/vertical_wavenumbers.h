// Vertical P and S wavenumbers of every layer at the current horizontal wavenumber. Reads
// the layer medium and the wavenumber; writes LayerWavenumbers.
#pragma once

#include "kernel/lanes.h"
#include "kernel/records.h"

namespace lg {

// Layers go four at a time in AVX2 lanes where `lanes` says so; the same bits either way.
void vertical_wavenumbers(int nc, const Wavenumber& k, const LayerMedium& m, LayerWavenumbers& out,
                          Lanes lanes = best_lanes());

}  // namespace lg
