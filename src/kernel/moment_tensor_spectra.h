// The closing stage of a frequency: scales the wavenumber sums and expands them by azimuth
// into the x, y and vertical spectra of the six moment-tensor elements of every receiver.
// Reads the placement, the receivers' azimuths, the source layer's crho and the sums; writes
// Spectra.
#pragma once

#include "kernel/records.h"

namespace lg {

void moment_tensor_spectra(const Placement& p, const ReceiverPositions& r, const LayerMedium& med,
                           const WavenumberSums& sums, Spectra& out);

}  // namespace lg
