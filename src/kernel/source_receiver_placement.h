// The geometry of one data set: the layer table as thicknesses, the receivers ordered by
// depth with their distances and azimuths from the source, and the layer (and depth within
// it) of the source and of every receiver. Reads the model, the source and the receivers as
// given; writes the ordered receivers and the Placement.
#pragma once

#include "kernel/records.h"

namespace lg {

// The model with hc as thicknesses: a layer table in depth form (hc[1] zero, hc the depths of
// the layer tops) is converted; one of thicknesses is returned as it is.
LayerModel layer_thicknesses(const LayerModel& as_read);

// Orders the receivers by ascending depth (an exchange sort: receivers at equal depths may
// change places among themselves), sets their azimuths, and places source and receivers in
// the layers of `thick` (thicknesses). A point on an interface belongs to the layer above.
void place_source_and_receivers(const LayerModel& thick, const SourcePosition& s,
                                const ReceiverPositions& as_given, ReceiverPositions& ordered,
                                Placement& out);

}  // namespace lg
