// Receiver kernels and wavenumber sums: turns the wave amplitudes at the top of a receiver's
// layer into the eleven increments of its wavenumber sums and tests their convergence.
#pragma once

#include "kernel/receiver_waves.h"
#include "model/records.h"

namespace lg {

// Constants of the source layer, formed once per wavenumber step.
struct SourceLayerTerms {
  Cx cs2, cs3, cs4, cs5, cs6, cs7, cs8, cs9;
};

SourceLayerTerms source_layer_terms(const Context& c);

// Adds the increments of receiver ir to usum[ir][1..11] and clears dim1a.iconv when an
// increment is not small against its sum.
void add_receiver_sums(Context& c, int ir, const ReceiverWaves& w, const SourceLayerTerms& s);

}  // namespace lg
