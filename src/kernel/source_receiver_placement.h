// Source-receiver geometry of one data set: depth ordering of the receivers, distances,
// azimuths, layer thicknesses, and the layer and depth within it of source and receivers.
#pragma once

#include "kernel/records.h"

namespace lg {

void initda(Context& c);

}  // namespace lg
