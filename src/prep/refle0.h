// First stage of a wavenumber step: the Bessel factors of every receiver and the complex
// wavenumbers (total and vertical) of every layer at the current frequency and wavenumber.
#pragma once

#include "model/records.h"

namespace lg {

void refle0(Context& c);

// The two halves of the stage, for callers that keep frequency-only values apart.
// Bessel factors of receivers 1..NR at wavenumber ak.
void refle0_bessel(Context& c);
// Complex velocities and wavenumbers of layers 1..NC.
void refle0_layers(Context& c);

}  // namespace lg
