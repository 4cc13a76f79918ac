// The closing stage of a frequency for the forces: scales their wavenumber sums and expands
// them by azimuth into the x, y and vertical spectra of the forces along x, y and z (down) of
// every receiver. Reads the placement, the receivers' azimuths, the source layer's crho and
// the sums kSums + 1 ... kSums + kForceSums; writes Spectra::fg.
#pragma once

#include "kernel/records.h"

namespace lg {

void force_spectra(const Placement& p, const ReceiverPositions& r, const LayerMedium& med,
                   const WavenumberSums& sums, Spectra& out);

// The spectra of the kinds of `set`: moment_tensor_spectra and force_spectra.
void source_spectra(const SourceSet& set, const Placement& p, const ReceiverPositions& r,
                    const LayerMedium& med, const WavenumberSums& sums, Spectra& out);

}  // namespace lg
