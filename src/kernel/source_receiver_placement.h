// Source-receiver geometry of one data set: depth ordering of the receivers, distances,
// azimuths, layer thicknesses, and the layer and depth within it of source and receivers.
#pragma once

#include "kernel/records.h"

namespace lg {

void initda(Context& c);

// The parts of initda: the layer table's depth form (a zero first entry: the column holds
// layer-top depths) turned into thicknesses, and the placement with thicknesses given.
void depth_form_to_thicknesses(Dim1e& e, int nc);
void place_in_layers(Context& c);

}  // namespace lg
